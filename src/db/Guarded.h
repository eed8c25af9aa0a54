// The database layer never raises to its callers: these run a body and turn whatever it throws
// into the neutral result (an empty reference, empty text, 0) or into nothing at all.
#pragma once

#include <utility>

template <typename T, typename F> T guarded(F&& body, T neutral)
{
    try {
        return std::forward<F>(body)();
    } catch (...) {
        return neutral;
    }
}

template <typename F> void guarded(F&& body)
{
    try {
        std::forward<F>(body)();
    } catch (...) {
    }
}
