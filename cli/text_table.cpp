// Rows of text in aligned columns.
#include "cli/text_table.h"

#include <algorithm>

namespace comsetup::cli {

std::string AlignedColumns(const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::size_t> widths;
    for (const auto& row : rows) {
        widths.resize(std::max(widths.size(), row.size()), 0);
        for (std::size_t c = 0; c < row.size(); ++c) {
            widths[c] = std::max(widths[c], row[c].size());
        }
    }
    std::string table;
    for (const auto& row : rows) {
        for (std::size_t c = 0; c < row.size(); ++c) {
            table += row[c];
            if (c + 1 < row.size()) {
                table += std::string(widths[c] - row[c].size() + 2, ' ');
            }
        }
        table += "\n";
    }
    return table;
}

} // namespace comsetup::cli
