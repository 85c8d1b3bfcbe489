// Rows of text in columns, each as wide as its widest entry plus two spaces (the last one
// unpadded): the batch results and the journal listing.
#pragma once

#include <string>
#include <vector>

namespace comsetup::cli {

std::string AlignedColumns(const std::vector<std::vector<std::string>>& rows);

} // namespace comsetup::cli
