// LCHKSB: whether a stream has a substream of a given type (1 mixed,
// 2 conventional solid, 3 non-conventional), reporting malformed counts and
// type lists.
#include <string>

#include "fortran_format.hpp"
#include "report.hpp"
#include "startup.hpp"

namespace eqlink {
namespace {

constexpr ftn::Int kLevel = 4;
const std::string kSix(6, ' ');

bool valid_type(ftn::Int type) {
    return type >= 1 && type <= 3;
}

}  // namespace

bool LCHKSB(ftn::Int nsub, const ftn::Int* types, ftn::Int type) {
    static const RoutineId id{"LCHKSB"};
    if (nsub < 1) {
        report(id, {1, 1, kLevel},
               {kSix + "THE NUMBER OF SUBSTREAMS: " + fmt90::I(nsub, 4) + ", IS OUT OF RANGE",
                kSix + "IT MUST BE GREATER THAN ZERO"});
        return false;
    }
    if (!valid_type(type)) {
        report(id, {1, 2, kLevel},
               {kSix + "THE QUERIED SUBSTREAM TYPE: " + fmt90::I(type, 4) + ", IS OUT OF RANGE",
                kSix + "IT MUST BE 1, 2, OR 3"});
        return false;
    }
    bool found = false;
    for (ftn::Int s = 1; s <= nsub; ++s) {
        const ftn::Int entry = types[s - 1];
        if (!valid_type(entry)) {
            report(id, {1, 3, kLevel},
                   {kSix + "SUBSTREAM TYPE: " + fmt90::I(entry, 4) + ", IS OUT OF RANGE" +
                        " FOR SUBSTREAM NUMBER" + fmt90::I(s, 4),
                    kSix + "IT MUST BE 1, 2, OR 3"});
            return found;
        }
        if (entry == type) found = true;
    }
    return found;
}

}  // namespace eqlink
