// A unit closed by an object destroyed at exit, after everything made during
// main (a host run kept in a static, closing its report): the unit table
// must still be there. Writes the file named first on the command line; and
// writes the second one, which holds a longer old text, over in place and
// leaves its unit open. Exit status 0 when the last record reached the
// first file.
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
    if (argc != 3) return 2;
    holder.path = argv[1];
    if (!unitio::open(21, holder.path, unitio::Access::write)) return 1;
    unitio::write_record(21, "written in main");
    if (!unitio::open(22, argv[2], unitio::Access::write)) return 1;
    unitio::write_record(22, "left open");
    return 0;
}
