#include "app/context/EditorObservation.h"

#include <gtest/gtest.h>

#include <optional>

namespace vendrix::app {
namespace {

using Kind = EditorEvent::Kind;

const EditorEvent kAppearance = EditorEvent::of(Kind::appearanceChanged, nullptr);

TEST(EditorObserversTest, CancelledHandlersFallSilent) {
    EditorObservers observers;
    int first = 0, second = 0;
    EditorObservation one = observers.observe([&](const EditorEvent&) { ++first; });
    EditorObservation two = observers.observe([&](const EditorEvent& event) {
        EXPECT_EQ(event.kind, Kind::textChanged);
        EXPECT_EQ(event.editedRange, (TextRange{2, 3}));
        EXPECT_EQ(event.changeInLength, -1);
        ++second;
    });
    observers.broadcast(EditorEvent::textChanged(nullptr, {2, 3}, -1));
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 1);

    EXPECT_TRUE(one.isActive());
    one.cancel();
    EXPECT_FALSE(one.isActive());
    EXPECT_EQ(observers.count(), 1u);
    observers.broadcast(EditorEvent::textChanged(nullptr, {2, 3}, -1));
    EXPECT_EQ(first, 1) << "a cancelled handler is not called";
    EXPECT_EQ(second, 2);

    one.cancel(); // a second cancel does nothing
    EditorObservation copy = two;
    two.cancel();
    copy.cancel(); // a copy of a used token removes nothing else
    EXPECT_EQ(observers.count(), 0u);

    EditorObservation empty;
    empty.cancel(); // a default token is inert
}

TEST(EditorObserversTest, CancellingAfterTheObserversAreGoneDoesNothing) {
    int calls = 0;
    EditorObservation token;
    {
        EditorObservers observers;
        token = observers.observe([&](const EditorEvent&) { ++calls; });
        observers.broadcast(kAppearance);
    }
    token.cancel();
    token.cancel();
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(token.isActive());
}

TEST(EditorObserversTest, HandlersMayCancelDuringABroadcast) {
    EditorObservers observers;
    // Handlers are called in no defined order, so each cancels all the others: whichever
    // runs first is the only one called.
    std::vector<EditorObservation> tokens(3);
    std::vector<int> calls(3, 0);
    for (size_t i = 0; i < tokens.size(); ++i) {
        tokens[i] = observers.observe([&, i](const EditorEvent&) {
            ++calls[i];
            for (size_t j = 0; j < tokens.size(); ++j)
                if (j != i)
                    tokens[j].cancel();
        });
    }
    observers.broadcast(kAppearance);
    EXPECT_EQ(calls[0] + calls[1] + calls[2], 1) << "cancelled handlers are skipped at once";
    EXPECT_EQ(observers.count(), 1u);

    // A handler cancelling itself mid-broadcast finishes its call and is then gone.
    EditorObservers more;
    EditorObservation self;
    int selfCalls = 0;
    std::optional<EditorObservation> added;
    self = more.observe([&](const EditorEvent&) {
        ++selfCalls;
        self.cancel();
        if (!added) // registering during a broadcast is allowed
            added = more.observe([](const EditorEvent&) {});
    });
    more.broadcast(kAppearance);
    more.broadcast(kAppearance);
    EXPECT_EQ(selfCalls, 1);
    EXPECT_EQ(more.count(), 1u);
}

} // namespace
} // namespace vendrix::app
