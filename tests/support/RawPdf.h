#pragma once
// PDF files written as text, for front files no writer would make.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace rawpdf {

// A PDF with a correct cross-reference table: bodies[i] is object i + 1 and
// object 1 is the catalog. A body starting with '!' is written as it is,
// without "N 0 obj" around it.
inline void write(const std::string &path, const std::vector<std::string> &bodies)
{
    std::string pdf = "%PDF-1.4\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < bodies.size(); ++i) {
        offsets.push_back(pdf.size());
        if (!bodies[i].empty() && bodies[i][0] == '!')
            pdf += bodies[i].substr(1) + "\n";
        else
            pdf += std::to_string(i + 1) + " 0 obj\n" + bodies[i] + "\nendobj\n";
    }
    const size_t xref = pdf.size();
    const std::string size = std::to_string(bodies.size() + 1);
    pdf += "xref\n0 " + size + "\n0000000000 65535 f \n";
    char entry[32];
    for (size_t offset : offsets) {
        std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
        pdf += entry;
    }
    pdf += "trailer\n<< /Size " + size + " /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    std::ofstream(path, std::ios::binary) << pdf;
}

// A page tree `depth` levels deep above its one page.
inline std::vector<std::string> deepPageTree(int depth)
{
    std::vector<std::string> bodies{"<< /Type /Catalog /Pages 2 0 R >>"};
    for (int level = 0; level < depth; ++level) {
        const int self = level + 2;
        const std::string parent = level == 0 ? "" : " /Parent " + std::to_string(self - 1) + " 0 R";
        bodies.push_back("<< /Type /Pages /Kids [" + std::to_string(self + 1) + " 0 R] /Count 1" + parent + " >>");
    }
    bodies.push_back("<< /Type /Page /Parent " + std::to_string(depth + 1) + " 0 R /MediaBox [0 0 200 200] >>");
    return bodies;
}

} // namespace rawpdf
