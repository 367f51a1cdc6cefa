#pragma once
// How a plug-in's exports meet an exception. Every export is noexcept:
// nothing may unwind into the host, which is not built to take it. The work
// behind an export may throw (a container or string that cannot allocate);
// the export runs that work through guarded(), where the exception ends and
// the export gives the answer that tells the host nothing was done. So do the
// dialog and thread procedures Windows calls. Code below them does not
// catch, and says noexcept where it cannot throw.

#include <utility>

template <typename Result, typename Work> Result guarded(Result failed, Work&& work) noexcept {
    try {
        return std::forward<Work>(work)();
    } catch (...) {
        return failed;
    }
}

template <typename Work> void guarded(Work&& work) noexcept {
    try {
        std::forward<Work>(work)();
    } catch (...) {
    }
}
