#pragma once
// Picture bytes wait on disk until the document is written, so memory stays flat
// however many pages a document has: copied into the spool file, or left in
// files of their own that are read again then.
#include <qpdf/QPDFObjectHandle.hh>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace wpdf {

class Spool : public QPDFObjectHandle::StreamDataProvider {
public:
    // Creates an unnamed file in `folder`, or in $TMPDIR (else /tmp) when that
    // fails. Throws std::runtime_error when neither works.
    explicit Spool(const std::string &folder);
    ~Spool() override;
    Spool(const Spool &) = delete;
    Spool &operator=(const Spool &) = delete;

    // Stores the bytes as the data of stream `og`. Throws on a write error.
    void add(QPDFObjGen og, const uint8_t *data, size_t length);
    // The data of stream `og` are the file at path as it is now (fd is open
    // on it); the writer fails should it have changed by then.
    void addFile(QPDFObjGen og, const std::string &path, int fd);
    void provideStreamData(QPDFObjGen const &og, Pipeline *pipeline) override;

    uint64_t size() const { return end_; }

private:
    struct Extent {
        uint64_t offset;
        uint64_t length;
    };
    struct FileData {
        std::string path;
        uint64_t device, inode, length;
        int64_t modifiedSeconds, modifiedNanoseconds;
    };
    void provideFile(const FileData &file, Pipeline *pipeline);
    int fd_ = -1;
    uint64_t end_ = 0;
    std::map<QPDFObjGen, Extent> extents_;
    std::map<QPDFObjGen, FileData> files_;
};

} // namespace wpdf
