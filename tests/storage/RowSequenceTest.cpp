#include "storage/RowSequence.h"

#include <gtest/gtest.h>
#include <random>

using ql::RowSequence;

// Random inserts, erases and searches against a plain vector, across many chunk splits and merges.
TEST(RowSequence, BehavesAsASortedVector)
{
    std::mt19937 rng(11);
    RowSequence seq;
    std::vector<int> model;
    for (int step = 0; step < 20000; ++step) {
        const int value = int(rng() % 5000);
        const auto less = [&](int x) { return x < value; };
        const int pos = seq.lowerBound(less);
        ASSERT_EQ(pos, int(std::partition_point(model.begin(), model.end(), less) - model.begin()));
        if (rng() % 3 != 0 || model.empty()) {
            seq.insert(pos, value);
            model.insert(model.begin() + pos, value);
        } else {
            const int at = int(rng() % model.size());
            seq.erase(at);
            model.erase(model.begin() + at);
        }
        if (step % 1000 == 0) {
            std::vector<int> all;
            seq.forEach([&](int id) { all.push_back(id); });
            ASSERT_EQ(all, model);
        }
    }
    ASSERT_EQ(seq.size(), int(model.size()));
    for (int i = 0; i < seq.size(); ++i)
        ASSERT_EQ(seq[i], model[size_t(i)]);

    std::vector<int> many(3000);
    for (int i = 0; i < 3000; ++i)
        many[size_t(i)] = i * 2;
    seq.assign(many);
    seq.insert(1500, 2999);
    EXPECT_EQ(seq[1500], 2999);
    EXPECT_EQ(seq[1501], 3000);
    EXPECT_EQ(seq.indexOf(5998), 3000);
    EXPECT_EQ(seq.lowerBound([](int x) { return x < 100000; }), seq.size());
}
