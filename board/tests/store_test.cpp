// The stores' claims, the same tests on SQLite and on a real PostgreSQL server: no two workers
// on one job, a dead worker's job taken again once its lease runs out, the late worker's
// verdict thrown away, a name kept for its first key.
#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "pg_server.hpp"
#include "store.hpp"

namespace board {
namespace {

class StoreTest : public testing::TestWithParam<const char*> {
protected:
    // A fresh store of the kind tested; a second connection to the same one for a second worker.
    std::unique_ptr<Store> Open() {
        if (std::string(GetParam()) == "sqlite") return OpenSqliteStore(dir_ / "board.sqlite");
        std::string why;
        test::PgServer* server = test::PgServer::Shared(why);
        if (server == nullptr) throw std::runtime_error(why);
        if (url_.empty()) url_ = server->NewDatabase();
        return OpenPostgresStore(url_);
    }

private:
    grappix::test::TempDir dir_;
    std::string url_;
};

TEST_P(StoreTest, AJobIsHeldByOneWorkerUntilItsLeaseRunsOut) {
    std::unique_ptr<Store> store = Open();
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
        if (claimed) {
            EXPECT_EQ(claimed->replay, "replay");
        }
    }
    EXPECT_FALSE(store->Accept(job, "w1", "1.0.0", {{0, 10, {1, 10}}}, "2026-01-01T00:00:00Z"))
        << "w1 lost its claim";
    EXPECT_TRUE(store->Top(0, 50).empty());
    EXPECT_TRUE(store->Accept(job, "w2", "1.0.0", {{0, 10, {1, 10}}}, "2026-01-01T00:00:00Z"));
    ASSERT_EQ(store->Top(0, 50).size(), 1u);
    EXPECT_EQ(store->Top(0, 50)[0].plot, (std::vector<int64_t>{1, 10}));
    EXPECT_EQ(store->Replay("aa"), "replay");
    store->Submit({"bb", "Ada", "k2", "127.0.0.1", "other"}, refusal);
    EXPECT_NE(refusal.find("another player's key"), std::string::npos);
}

TEST_P(StoreTest, TwoWorkersOnTwoConnectionsNeverClaimOneJob) {
    std::unique_ptr<Store> first = Open(), second = Open();
    std::string refusal;
    constexpr int kJobs = 40;
    for (int i = 0; i < kJobs; ++i) first->Submit({"h" + std::to_string(i), "Ada", "k", "a", "r"}, refusal);
    std::vector<int64_t> claimed[2];
    std::thread workers[2];
    Store* stores[2] = {first.get(), second.get()};
    for (int w = 0; w < 2; ++w)
        workers[w] = std::thread([&, w] {
            while (std::optional<Job> job = stores[w]->Claim("w" + std::to_string(w), 600))
                claimed[w].push_back(job->id);
        });
    for (std::thread& t : workers) t.join();
    std::set<int64_t> all(claimed[0].begin(), claimed[0].end());
    all.insert(claimed[1].begin(), claimed[1].end());
    EXPECT_EQ(all.size(), static_cast<size_t>(kJobs));
    EXPECT_EQ(claimed[0].size() + claimed[1].size(), static_cast<size_t>(kJobs)) << "a job claimed twice";
}

INSTANTIATE_TEST_SUITE_P(Stores, StoreTest, testing::Values("sqlite", "postgresql"),
                         [](const testing::TestParamInfo<const char*>& kind) {
                             return std::string(kind.param);
                         });

}  // namespace
}  // namespace board
