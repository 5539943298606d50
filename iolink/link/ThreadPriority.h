// Raising the calling thread's scheduling priority for the link cycle. Only that thread is
// touched: the process belongs to the JVM.
#pragma once

namespace iolink {

// Real-time scheduling when the system permits it; otherwise the thread silently stays as it is.
void raiseCurrentThreadToRealTime();

} // namespace iolink
