// The sort mark a column title shows, and how a click on the title moves it on.
#pragma once

#include <Qt>

#include <optional>

namespace darni::view {

// SortedUp sorts descending, SortedDown ascending, as the marks have always been read here.
enum class TitleState { SortedNone, SortedUp, SortedDown };

// The state a click gives a title: a plain or Shift click moves SortedNone → SortedUp → SortedDown →
// SortedUp …; a Ctrl click clears a mark. Nothing (no change, no event) for a Ctrl click on an
// unmarked title.
constexpr std::optional<TitleState> titleStateAfterClick(TitleState current, Qt::KeyboardModifiers modifiers)
{
    if (modifiers.testFlag(Qt::ControlModifier)) {
        if (current == TitleState::SortedNone)
            return std::nullopt;
        return TitleState::SortedNone;
    }
    return current == TitleState::SortedUp ? TitleState::SortedDown : TitleState::SortedUp;
}

} // namespace darni::view
