#include "FrontFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace wpdf {

namespace {

bool isDictionaryOfType(QPDFObjectHandle &object, const char *type)
{
    if (!object.isDictionary())
        return false;
    auto t = object.getKey("/Type");
    return t.isName() && t.getName() == type;
}

} // namespace

FILE *openFrontFile(const std::string &path, std::string &problem)
{
    const std::string file = "The front PDF file \"" + path + "\" ";
    const std::string notAFile = file + "is not a file; choose a PDF file as the front file.";
    // Looked at before opening, since opening some devices does something.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        problem = file + "cannot be read: " + std::strerror(errno) + ".";
        return nullptr;
    }
    if (!S_ISREG(st.st_mode)) {
        problem = notAFile;
        return nullptr;
    }
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        problem = file + "cannot be read: " + std::strerror(errno) + ".";
        return nullptr;
    }
    int flags = ::fcntl(fd, F_GETFL);
    FILE *stream = nullptr;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        problem = notAFile;
    else if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 || !(stream = ::fdopen(fd, "rb")))
        problem = file + "cannot be read: " + std::strerror(errno) + ".";
    if (!stream)
        ::close(fd);
    return stream;
}

std::string pageTreeProblem(QPDF &pdf)
{
    // qpdf climbs from a catalog entry that points into the tree to its root.
    QPDFObjectHandle root = pdf.getRoot().getKey("/Pages");
    std::set<QPDFObjGen> climbed;
    while (root.isDictionary() && root.hasKey("/Parent") && climbed.insert(root.getObjGen()).second)
        root = root.getKey("/Parent");
    if (!root.isDictionary() || !root.hasKey("/Kids"))
        return {}; // qpdf finds no pages, which is reported as such

    struct Node {
        QPDFObjectHandle object;
        int depth;
    };
    std::vector<Node> stack{{root, 1}};
    std::vector<QPDFObjGen> path; // the nodes above the one being looked at
    std::set<QPDFObjGen> nodes;
    size_t entries = 0;
    while (!stack.empty()) {
        Node node = std::move(stack.back());
        stack.pop_back();
        QPDFObjectHandle &o = node.object;
        if (o.isDictionary() && o.hasKey("/Kids")) {
            if (node.depth > kMaxPageTreeDepth)
                return "cannot be used because its page tree is nested more than " +
                       std::to_string(kMaxPageTreeDepth) + " levels deep; choose another front file.";
            path.resize(static_cast<size_t>(node.depth - 1));
            if (o.isIndirect()) {
                QPDFObjGen og = o.getObjGen();
                if (std::find(path.begin(), path.end(), og) != path.end())
                    return "is damaged: its page tree contains a loop; repair it or choose another front file.";
                // A part listed twice would be walked once per listing: exponentially
                // often in a file made for it.
                if (!nodes.insert(og).second)
                    return "is damaged: a part of its page tree appears in it twice; repair it or choose another "
                           "front file.";
                path.push_back(og);
            } else {
                path.push_back(QPDFObjGen());
            }
            auto kids = o.getKey("/Kids");
            if (!kids.isArray())
                return "is damaged: its page tree has a node without a list of pages; repair it or choose another "
                       "front file.";
            for (int i = kids.getArrayNItems() - 1; i >= 0; --i)
                stack.push_back({kids.getArrayItem(i), node.depth + 1});
            continue;
        }
        ++entries;
        if (entries > kMaxFrontPages)
            return "has more than " + std::to_string(kMaxFrontPages) +
                   " pages, the most a front file may have; choose a shorter front file.";
        // qpdf makes anything here a page: a missing object or one it could not
        // read would become an empty page, a picture or a font a broken one.
        bool page = o.isDictionary() && (!o.hasKey("/Type") || isDictionaryOfType(o, "/Page"));
        if (!page)
            return "is damaged: entry " + std::to_string(entries) +
                   " of its page tree is not a page; repair it or choose another front file.";
    }
    return {};
}

bool copyDepthWithinLimit(const std::vector<QPDFObjectHandle> &roots)
{
    // The walk of qpdf's copy, in its order (dictionary keys sorted, arrays
    // in order), entering each indirect object once, neither page tree nodes
    // nor pages other than the one copied.
    struct Item {
        QPDFObjectHandle object;
        int depth;
    };
    std::set<QPDFObjGen> copied;
    for (const auto &root : roots) {
        std::vector<Item> stack{{root, 1}};
        while (!stack.empty()) {
            Item item = std::move(stack.back());
            stack.pop_back();
            QPDFObjectHandle &o = item.object;
            if (item.depth > kMaxObjectDepth)
                return false;
            if (isDictionaryOfType(o, "/Pages"))
                continue;
            if (o.isIndirect()) {
                if (item.depth > 1 && isDictionaryOfType(o, "/Page"))
                    continue;
                if (!copied.insert(o.getObjGen()).second)
                    continue;
            }
            if (o.isArray()) {
                for (int i = o.getArrayNItems() - 1; i >= 0; --i)
                    stack.push_back({o.getArrayItem(i), item.depth + 1});
            } else if (o.isDictionary()) {
                auto keys = o.getKeys();
                for (auto key = keys.rbegin(); key != keys.rend(); ++key)
                    stack.push_back({o.getKey(*key), item.depth + 1});
            } else if (o.isStream()) {
                stack.push_back({o.getDict(), item.depth + 1});
            }
        }
    }
    return true;
}

} // namespace wpdf
