// The written file: complete under its own name or not there at all, with
// the permissions of the file it replaces. A target that cannot be written
// is refused before any page is made, and partial files of killed runs are
// cleared away by the next run.
#include <gtest/gtest.h>

#include <csignal>
#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "EngineHarness.h"

using namespace wpdftest;

namespace {

std::string readText(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeText(const std::string &path, const std::string &text) { std::ofstream(path, std::ios::binary) << text; }

mode_t modeOf(const std::string &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// Begins a document on `out` with `pages` pages, each with the picture, and ends it.
bool makeDocument(EngineRun &run, const std::string &out, int pages, const std::string &jpeg)
{
    run.send(Settings{});
    bool ok = run.begin(out) == 0;
    for (int p = 0; ok && p < pages; ++p)
        ok = run.page(300, 300) == 0 && run.image(0, 0, 300, 300, jpeg) == 0;
    return ok && run.action(4534) == 0;
}

void expectOneError(const std::vector<Message> &messages, const std::string &naming)
{
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].kind * 10 + messages[0].value, 10) << "an error message";
    EXPECT_NE(messages[0].text.find("\"" + naming + "\""), std::string::npos) << messages[0].text;
}

// Makes O_TMPFILE fail as it does on file systems without it.
bool refuseUnnamedFiles()
{
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_openat, 0, 3),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[2])),
        BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, __O_TMPFILE & ~O_DIRECTORY, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EOPNOTSUPP),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program{static_cast<unsigned short>(sizeof filter / sizeof filter[0]), filter};
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

// Files process `pid` has open inside `folder`.
int filesOpenIn(int pid, const std::string &folder)
{
    int n = 0;
    std::error_code ec;
    for (auto &e : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec))
        n += std::filesystem::read_symlink(e.path(), ec).string().rfind(folder + "/", 0) == 0;
    return n;
}

} // namespace

class WpdfFailingWrite : public ::testing::TestWithParam<bool> {}; // true: a full disk, else a size limit

TEST_P(WpdfFailingWrite, KeepsTheEarlierFileAndSaysSo)
{
    TempDir dir;
    const bool fullDisk = GetParam();
    std::string folder = fullDisk ? dir.file("disk") : dir.path().string();
    std::shared_ptr<void> unmount;
    if (fullDisk) {
        std::filesystem::create_directory(folder);
        if (::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=1m") != 0)
            GTEST_SKIP() << "no tmpfs can be mounted here: " << std::strerror(errno);
        unmount.reset(&folder, [](std::string *f) { ::umount2(f->c_str(), MNT_DETACH); });
        writeText(folder + "/filler", std::string(700 * 1024, 'x'));
    }
    std::string out = folder + "/sheet.pdf";
    writeText(out, "the earlier sheet");
    std::string jpeg = makeJpeg(160, 160, 3, 3, true);
    // 200 KiB of pictures: room for them, but not for the file as well.
    int pages = static_cast<int>(200 * 1024 / jpeg.size()) + 1;
    auto child = inChild([&] {
        EngineRun run;
        if (!makeDocument(run, out, pages, jpeg))
            return Outcome{-2, run.messages()}.encode();
        rlimit limit{64 * 1024, 64 * 1024};
        std::signal(SIGXFSZ, SIG_IGN);
        if (!fullDisk)
            setrlimit(RLIMIT_FSIZE, &limit);
        return Outcome{run.action(4538, 0, out.data()), run.messages()}.encode();
    });
    ASSERT_TRUE(child.finished) << child.status;
    Outcome o = Outcome::decode(child.output);
    EXPECT_EQ(o.result, 1) << child.output;
    expectOneError(o.messages, out);
    EXPECT_EQ(readText(out), "the earlier sheet");
    auto expected = fullDisk ? std::vector<std::string>{"filler", "sheet.pdf"} : std::vector<std::string>{"sheet.pdf"};
    EXPECT_EQ(dir.entries(fullDisk ? "disk" : ""), expected);
}

INSTANTIATE_TEST_SUITE_P(Kinds, WpdfFailingWrite, ::testing::Values(false, true),
                         [](const auto &info) { return info.param ? "FullDisk" : "FileSizeLimit"; });

TEST(WpdfOutputFile, ReplacingKeepsThePermissionsNewFilesFollowTheUmask)
{
    const struct {
        const char *name;
        mode_t earlier, umask, expected; // earlier 0: no earlier file
    } cases[] = {{"private.pdf", 0600, 022, 0600}, {"group.pdf", 0660, 077, 0660},
                 {"new.pdf", 0, 027, 0640},        {"open.pdf", 0, 022, 0644}};
    TempDir dir;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::string out = dir.file(c.name);
        if (c.earlier) {
            writeText(out, "earlier");
            ASSERT_EQ(::chmod(out.c_str(), c.earlier), 0);
        }
        mode_t saved = ::umask(c.umask);
        EngineRun run;
        run.send(Settings{});
        bool written = run.begin(out) == 0 && run.page(100, 100) == 0 && run.finish(out) == 0;
        ::umask(saved);
        EXPECT_TRUE(written);
        EXPECT_EQ(modeOf(out), c.expected);
    }
}

TEST(WpdfOutputFile, TargetThatCannotBeWrittenIsRefusedAtBegin)
{
    TempDir dir;
    long max = ::pathconf(dir.path().c_str(), _PC_NAME_MAX);
    std::string readOnly = dir.file("read-only.pdf"), folder = dir.file("folder.pdf"), fifo = dir.file("fifo.pdf");
    std::string tooLong = dir.file(std::string(static_cast<size_t>(max) - 3, 'n') + ".pdf");
    writeText(readOnly, "earlier");
    ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
    std::filesystem::create_directory(folder);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    for (const auto &target : {readOnly, folder, fifo, tooLong}) {
        SCOPED_TRACE(target);
        EngineRun run;
        run.send(Settings{});
        EXPECT_NE(run.begin(target), 0);
        ASSERT_NO_FATAL_FAILURE(expectOneError(run.messages(), target));
        EXPECT_NE(run.page(100, 100), 0) << "no document was begun";
        EXPECT_EQ(run.messages()[0].text.find(std::to_string(max)) != std::string::npos, target == tooLong);
    }
    EXPECT_EQ(readText(readOnly), "earlier");
    EXPECT_EQ(modeOf(readOnly), 0444u);
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"fifo.pdf", "folder.pdf", "read-only.pdf"}));
}

// Names too long for a partial file beside them work as well, new or replaced.
TEST(WpdfOutputFile, AnyNameTheFolderTakesCanBeWritten)
{
    TempDir dir;
    std::string name = std::string(246, 'n') + ".pdf", out = dir.file(name);
    for (int round = 0; round < 2; ++round) {
        EngineRun run;
        run.send(Settings{});
        EXPECT_TRUE(run.begin(out) == 0 && run.page(100, 100) == 0 && run.finish(out) == 0) << round;
        EXPECT_EQ(dir.entries(), std::vector<std::string>{name});
    }
}

TEST(WpdfOutputFile, OnlyStalePartialsOfTheTargetAreRemoved)
{
    // Kinds: f file, l file locked by a live writer, d folder, s symbolic link, o another user's file.
    const std::vector<std::tuple<std::string, char, bool>> planted = {
        {".sheet.pdf.Ab12Cd", 'f', true},  {".sheet.pdf.zz9ZZ0", 'f', true},  {".sheet.pdf.Lock3d", 'l', false},
        {".sheet.pdf.Ab12C", 'f', false},  {".sheet.pdf.Ab-2Cd", 'f', false}, {".other.pdf.Ab12Cd", 'f', false},
        {"sheet.pdf.Ab12Cd", 'f', false},  {".sheet.pdf.Dir123", 'd', false}, {".sheet.pdf.Link12", 's', false},
        {".sheet.pdf.Other1", 'o', false}};
    TempDir dir;
    writeText(dir.file("link-target"), "x");
    std::vector<std::string> kept{"link-target", "sheet.pdf"};
    int locked = -1;
    for (const auto &[name, kind, removed] : planted) {
        std::string path = dir.file(name);
        if (kind == 'o' && ::geteuid() != 0)
            continue;
        if (kind == 'd')
            std::filesystem::create_directory(path);
        else if (kind == 's')
            std::filesystem::create_symlink(dir.file("link-target"), path);
        else
            writeText(path, "partial");
        EXPECT_EQ(kind == 'o' ? ::chown(path.c_str(), 65534, 65534) : 0, 0);
        EXPECT_EQ(kind == 'l' ? ::flock(locked = ::open(path.c_str(), O_RDONLY | O_CLOEXEC), LOCK_EX) : 0, 0);
        if (!removed)
            kept.push_back(name);
    }
    std::sort(kept.begin(), kept.end());
    std::string out = dir.file("sheet.pdf");
    EngineRun run;
    run.send(Settings{});
    ASSERT_EQ(run.begin(out), 0);
    ASSERT_EQ(run.page(100, 100), 0);
    EXPECT_EQ(run.finish(out), 0);
    EXPECT_EQ(dir.entries(), kept) << "removed at begin, and nothing else left by the write";
    ::close(locked);
}

class WpdfKilledWrite : public ::testing::TestWithParam<bool> {}; // true: no unnamed files, as on some file systems

TEST_P(WpdfKilledWrite, LeavesNoPartialFileBehind)
{
    TempDir dir;
    std::string out = dir.file("sheet.pdf");
    writeText(out, "earlier");
    ASSERT_EQ(::chmod(out.c_str(), 0600), 0);
    std::string jpeg = makeJpeg(400, 400, 9, 3, true);
    auto begun = [&](EngineRun &run, int pages) {
        return (!GetParam() || refuseUnnamedFiles()) && makeDocument(run, out, pages, jpeg);
    };
    auto complete = inChild([&] {
        EngineRun run;
        return begun(run, 2) && run.action(4538, 0, out.data()) == 0 ? "ok" : "failed";
    });
    ASSERT_EQ(complete.output, "ok") << complete.status;
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"sheet.pdf"});
    EXPECT_EQ(modeOf(out), 0600u);
    EXPECT_EQ(PdfFile(out).pages().size(), 2u);
    std::filesystem::remove(out);

    // Killed once the output file is open beside the picture spool.
    auto killed = inChild(
        [&] {
            EngineRun run;
            return begun(run, 60) && run.action(4538, 0, out.data()) == 0 ? "finished" : "failed";
        },
        120,
        [&](int pid) {
            for (int i = 0; i < 100000 && filesOpenIn(pid, dir.path().string()) < 2; ++i)
                ::usleep(50);
            ::kill(pid, SIGKILL);
        });
    EXPECT_EQ(killed.status, "killed by signal 9") << killed.output;
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_EQ(dir.entries().size(), GetParam() ? 1u : 0u) << "only a named partial file can be left";
    // The next document on that name clears it away.
    EngineRun run;
    run.send(Settings{});
    ASSERT_EQ(run.begin(out), 0);
    EXPECT_TRUE(dir.entries().empty());
}

INSTANTIATE_TEST_SUITE_P(Kinds, WpdfKilledWrite, ::testing::Values(false, true),
                         [](const auto &info) { return info.param ? "NamedPartial" : "UnnamedFile"; });
