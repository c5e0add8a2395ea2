// The store's claims, on every kind of store: no two workers on one job, a dead worker's job
// taken again once its lease runs out, and the late worker's verdict thrown away.
#include <gtest/gtest.h>

#include "store.hpp"
#include "support/process.hpp"

namespace board {
namespace {

TEST(StoreTest, AJobIsHeldByOneWorkerUntilItsLeaseRunsOut) {
    grappix::test::TempDir dir;
    std::unique_ptr<Store> store = OpenSqliteStore(dir / "board.sqlite");
    std::string refusal;
    const Job job = store->Submit({"aa", "Ada", "k1", "127.0.0.1", "replay"}, refusal);
    ASSERT_EQ(job.state, JobState::Queued);
    EXPECT_EQ(store->Submit({"aa", "Ada", "k1", "127.0.0.1", "replay"}, refusal).id, job.id) << "stored once";

    struct Step {
        const char* what;
        const char* worker;
        int64_t lease;
        bool claims;
    };
    // A lease of -1 s has run out as soon as it is taken: the worker holding it is as good as dead.
    const Step steps[] = {
        {"the first worker takes it", "w1", -1, true},
        {"its lease ran out: another takes it", "w2", 600, true},
        {"the second holds it", "w3", 600, false},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        std::optional<Job> claimed = store->Claim(s.worker, s.lease);
        ASSERT_EQ(claimed.has_value(), s.claims);
        if (claimed) EXPECT_EQ(claimed->replay, "replay");
    }
    EXPECT_FALSE(store->Accept(job, "w1", "1.0.0", {{0, 10, {1, 10}}}, "2026-01-01T00:00:00Z")) << "w1 lost its claim";
    EXPECT_TRUE(store->Top(0, 50).empty());
    EXPECT_TRUE(store->Accept(job, "w2", "1.0.0", {{0, 10, {1, 10}}}, "2026-01-01T00:00:00Z"));
    ASSERT_EQ(store->Top(0, 50).size(), 1u);
    EXPECT_EQ(store->Top(0, 50)[0].plot, (std::vector<int64_t>{1, 10}));
    EXPECT_EQ(store->Replay("aa"), "replay");
    store->Submit({"bb", "Ada", "k2", "127.0.0.1", "other"}, refusal);
    EXPECT_NE(refusal.find("another player's key"), std::string::npos);
}

}  // namespace
}  // namespace board
