#include "product_list.hpp"

#include <algorithm>

#include "host_services.hpp"

namespace elvar {
namespace {
std::vector<std::string>& products() {
    static std::vector<std::string> p;
    return p;
}
}  // namespace

void set_product_list(std::vector<std::string> list) { products() = std::move(list); }
const std::vector<std::string>& product_list() { return products(); }

}  // namespace elvar

extern "C" void USRUTL_NUMSTR(ftn::Int* count) {
    *count = static_cast<ftn::Int>(elvar::product_list().size());
}

// Name i into the field (blank-padded) and its length; a number outside the
// list gives a blank field and length 0. The length never exceeds the field.
extern "C" void USRUTL_GETCSTR(const ftn::Int* i, char* field, ftn::Int* length,
                               ftn::Len field_len) {
    const auto& list = elvar::product_list();
    std::string_view name;
    if (*i >= 1 && static_cast<std::size_t>(*i) <= list.size())
        name = list[static_cast<std::size_t>(*i - 1)];
    ftn::fill(field, field_len, name);
    *length = static_cast<ftn::Int>(std::min(name.size(), field_len));
}
