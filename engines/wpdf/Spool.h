#pragma once
// Picture bytes wait on disk until the document is written, so memory stays flat
// however many pages a document has.
#include <qpdf/QPDFObjectHandle.hh>

#include <cstdint>
#include <map>
#include <string>

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
    void provideStreamData(QPDFObjGen const &og, Pipeline *pipeline) override;

    uint64_t size() const { return end_; }

private:
    struct Extent {
        uint64_t offset;
        uint64_t length;
    };
    int fd_ = -1;
    uint64_t end_ = 0;
    std::map<QPDFObjGen, Extent> extents_;
};

} // namespace wpdf
