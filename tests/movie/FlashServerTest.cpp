#include "movie/FlashServer.h"

#include <QString>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {
struct Call {
    std::string name;
    std::vector<int32_t> args;
    bool operator==(const Call &) const = default;
};
std::vector<Call> calls;

void record(const char *name, const int32_t *args, uint32_t count)
{
    calls.push_back({name, std::vector<int32_t>(args, args + count)});
}
} // namespace

TEST(FlashServer, SizeRequestsAreScaledAndNotRepeated)
{
    calls.clear();
    TFlashServer server(record, 0, 550, 400, 0);
    server.SetImageResolutionAndQuality(72, 50);
    server.SetImageResolutionAndQuality(72, 50);
    server.SetImageResolutionAndQuality(150, 50);
    server.SetImageResolutionAndQuality(150, 90);
    const std::vector<Call> expected{{"setImageResolutionAndQuality", {550, 400, 50}},
                                     {"setImageResolutionAndQuality", {1146, 833, 50}},
                                     {"setImageResolutionAndQuality", {1146, 833, 90}}};
    EXPECT_EQ(calls, expected);
}

TEST(FlashServer, SceneIsSetOnlyWhenItChanges)
{
    calls.clear();
    TFlashServer server(record, 1, 550, 400, 0);
    server.ExportFrame(1, 3);
    server.ExportFrame(1, 7);
    server.ExportFrame(0, 2);
    const std::vector<Call> expected{{"getFrame", {3}}, {"getFrame", {7}}, {"setScene", {0}}, {"getFrame", {2}}};
    EXPECT_EQ(calls, expected);
    EXPECT_EQ(server.CurrentScene(), 0);
}

TEST(FlashServer, LibraryIsTheProgramPathWithSo)
{
    EXPECT_EQ(TFlashServer::LibraryPath("/opt/tessory/Kavrel"), "/opt/tessory/Kavrel.so");
    EXPECT_EQ(TFlashServer::Create("/nonexistent/Kavrel", 0, 1, 1, 0), nullptr);
}
