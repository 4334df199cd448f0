// The current block's product list, read by USRUTL_NUMSTR and
// USRUTL_GETCSTR.
#pragma once

#include <string>
#include <vector>

namespace elvar {

inline constexpr std::size_t kProductChars = 70;

void set_product_list(std::vector<std::string> products);
const std::vector<std::string>& product_list();

}  // namespace elvar
