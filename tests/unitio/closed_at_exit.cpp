// A unit closed by an object destroyed at exit, after everything made during
// main (a host run kept in a static, closing its report): the unit table
// must still be there. Writes the file named on the command line; exit
// status 0 when the last record reached it.
#include <fstream>
#include <string>

#include "unitio.hpp"

namespace {

struct ClosesAtExit {
    std::string path;
    ~ClosesAtExit() {
        unitio::write_record(21, "written at exit");
        unitio::close(21);
    }
};
ClosesAtExit holder;  // constructed before the unit table, destroyed after it

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    holder.path = argv[1];
    if (!unitio::open(21, holder.path, unitio::Access::write)) return 1;
    unitio::write_record(21, "written in main");
    return 0;
}
