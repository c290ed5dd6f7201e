#pragma once
// qpdf walks page trees, copies objects and writes files recursively, one
// stack frame per level of the file's structure. Those calls run here, on a
// stack far larger than any caller's; only the pages touched cost memory.
#include <functional>

namespace wpdf {

// Runs `work` on a thread with a large stack and waits for it; whatever
// `work` throws is thrown again here.
void onLargeStack(const std::function<void()> &work);

} // namespace wpdf
