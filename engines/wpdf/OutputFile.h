#pragma once
// The PDF file being written: unnamed (or under a locked temporary name where
// the file system has no unnamed files) until it is complete, so a failed or
// killed run never leaves a file that looks finished, nor replaces the
// earlier one.
#include <qpdf/Pipeline.hh>

#include <cstdint>
#include <string>
#include <vector>

namespace wpdf {

// The folder part of a path ("." for a bare name).
std::string folderOf(const std::string &path);

class OutputFile {
public:
    // Why `target` cannot be created or replaced, as a sentence for the
    // user; empty when it can.
    static std::string problem(const std::string &target);
    // Removes partial files of `target` that runs killed while writing left
    // behind: ours, regular, and locked by no live writer.
    static void removeStalePartials(const std::string &target);

    // Throws std::runtime_error with the reason.
    explicit OutputFile(const std::string &target);
    ~OutputFile();
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    int fd() const { return fd_; }
    // Checks that all `written` bytes are on disk, gives the file the earlier
    // file's permissions and then the target's name. Throws with the reason.
    void commit(uint64_t written);

private:
    int linkAs(const std::string &name) const; // 0 or the error

    std::string target_, folder_, stem_;
    std::string tempName_; // the named partial file, when there is one
    int fd_ = -1;
    bool committed_ = false;
};

// The end of the writer's pipeline: every write checked, partial writes and
// interruptions retried. A failed write throws, and the failure is kept in
// case the writer catches what was thrown; finish() never throws.
class FileSink : public Pipeline {
public:
    explicit FileSink(int fd);
    void write(unsigned char const *data, size_t length) override;
    void finish() override;
    uint64_t written() const { return written_; }
    const std::string &failure() const { return failure_; }

private:
    void writeAll(const unsigned char *data, size_t length);

    int fd_;
    std::vector<unsigned char> buffer_;
    uint64_t written_ = 0;
    std::string failure_;
};

} // namespace wpdf
