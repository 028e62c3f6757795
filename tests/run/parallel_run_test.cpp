// korvel-cli's run where the system gives fewer threads than asked for.
#include "run/parallel_run.h"

#include <gtest/gtest.h>

#include <system_error>

#include "support/test_support.h"

namespace korvel {
namespace {

struct Result {
    RunReport report;
    std::vector<std::string> data;
};

// Four drawings of one, two, three and four points, run with `jobs` workers
// of which the system starts at most `threads`.
Result RunFour(const test::TempDir& dir, unsigned jobs, int threads) {
    std::vector<DrawingJob> drawings;
    for (int n = 1; n <= 4; ++n) {
        std::vector<std::string> lines = {"  0", "SECTION", "  2", "ENTITIES"};
        for (int i = 0; i < n; ++i)
            lines.insert(lines.end(),
                         {"  0", "POINT", " 10", std::to_string(i), " 20", "1", " 30", "2"});
        lines.insert(lines.end(), {"  0", "ENDSEC", "  0", "EOF"});
        const std::string name = "d" + std::to_string(n);
        test::WriteFile(dir / (name + ".dxf"), test::Dxf(lines));
        drawings.push_back({(dir / (name + ".dxf")).string(), (dir / (name + ".txt")).string()});
    }
    ParallelRunOptions options;
    options.jobs = jobs;
    int started = 0;
    options.startThread = [&](std::function<void()> work) {
        if (started++ >= threads)
            throw std::system_error(
                std::make_error_code(std::errc::resource_unavailable_try_again));
        return std::thread(std::move(work));
    };
    ParallelRunObserver observer;
    Result result;
    const RunSummary summary =
        ConvertDrawings(drawings, test::DefaultSettings(), ShippedNameTables(), {"Number", "X"}, {},
                        options, observer, result.report, std::tm{});
    EXPECT_EQ(summary.filesPassed, 4u);
    for (const DrawingJob& job : drawings) result.data.push_back(test::ReadFile(job.dataPath));
    return result;
}

TEST(ParallelRun, FewerThreadsThanAskedForGiveTheRunOfOneAtATime) {
    const test::TempDir dir;
    const Result one = RunFour(dir, 1, 1);
    ASSERT_EQ(one.data[3], "1,0.000\r\n2,1.000\r\n3,2.000\r\n4,3.000\r\n");
    for (int threads : {0, 1, 2}) {
        SCOPED_TRACE(threads);
        const Result few = RunFour(dir, 4, threads);
        EXPECT_EQ(few.report, one.report);
        EXPECT_EQ(few.data, one.data);
    }
}

}  // namespace
}  // namespace korvel
