#include "core/syntax/LineStateBuffer.h"

#include <gtest/gtest.h>

#include <random>

namespace vendrix {
namespace {

TEST(LineStateBufferTest, MatchesAPlainVectorUnderRandomOperations) {
    std::mt19937 rng(3);
    LineStateBuffer buffer;
    std::vector<std::uint32_t> model{0};
    for (int step = 0; step < 20000; ++step) {
        const auto size = static_cast<std::int64_t>(model.size());
        switch (rng() % 5) {
        case 0: {
            auto value = static_cast<std::uint32_t>(rng());
            buffer.pushBack(value);
            model.push_back(value);
            break;
        }
        case 1: {
            std::int64_t at = static_cast<std::int64_t>(rng() % size);
            auto value = static_cast<std::uint32_t>(rng());
            buffer.set(at, value);
            model[static_cast<std::size_t>(at)] = value;
            break;
        }
        case 2: {
            std::int64_t at = static_cast<std::int64_t>(rng() % (size + 1));
            std::int64_t removed = std::min<std::int64_t>(size - at, rng() % 5);
            std::int64_t inserted = rng() % 200 == 0 ? 300 : rng() % 5;
            buffer.splice(at, removed, inserted);
            model.erase(model.begin() + at, model.begin() + at + removed);
            model.insert(model.begin() + at, static_cast<std::size_t>(inserted), 0u);
            break;
        }
        case 3:
            if (rng() % 50 == 0) {
                std::int64_t keep = static_cast<std::int64_t>(rng() % (size + 1));
                buffer.truncate(keep);
                model.resize(static_cast<std::size_t>(keep));
            }
            break;
        default:
            if (rng() % 500 == 0) {
                buffer.reset();
                model.assign(1, 0);
            }
        }
        if (model.empty()) {
            buffer.pushBack(7);
            model.push_back(7);
        }
        ASSERT_EQ(buffer.size(), static_cast<std::int64_t>(model.size())) << "step " << step;
        if (step % 97 == 0) {
            for (std::size_t i = 0; i < model.size(); ++i)
                ASSERT_EQ(buffer[static_cast<std::int64_t>(i)], model[i]) << "step " << step;
        }
    }
}

} // namespace
} // namespace vendrix
