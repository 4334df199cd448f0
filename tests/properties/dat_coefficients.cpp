#include "dat_coefficients.hpp"

#include <cmath>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace proptest {
namespace {

// Reads records of whitespace-separated tokens; a record starts on a new
// line and the rest of its last line is dropped.
class Records {
public:
    explicit Records(std::istream& in) : in_(in) {}
    std::vector<std::string> read(std::size_t n) {
        std::vector<std::string> out;
        std::string line;
        while (out.size() < n && std::getline(in_, line)) {
            std::istringstream words(line);
            std::string w;
            while (out.size() < n && words >> w) out.push_back(w);
        }
        if (out.size() < n) throw std::runtime_error("data file ends inside a record");
        return out;
    }

private:
    std::istream& in_;
};

double real(const std::string& s) {
    std::string t = s;
    for (char& ch : t)
        if (ch == 'D' || ch == 'd') ch = 'E';
    return std::stod(t);
}

}  // namespace

const Range& Species::range(double T) const {
    for (const Range& r : ranges)
        if (T <= r.tmax) return r;
    return ranges.back();
}

double Species::G(double T) const {
    const Range& r = range(T);
    double g = r.a + r.b * T + r.c * T * std::log(T) + r.d * T * T + r.e * T * T * T + r.f / T;
    for (auto [c, e] : r.extra) g += e == 99.0 ? c * std::log(T) : c * std::pow(T, e);
    return g;
}

double Species::H(double T) const {
    const Range& r = range(T);
    double h = r.a - r.c * T - r.d * T * T - 2 * r.e * T * T * T + 2 * r.f / T;
    for (auto [c, e] : r.extra) h += e == 99.0 ? c * (std::log(T) - 1) : c * (1 - e) * std::pow(T, e);
    return h;
}

double Species::S(double T) const {
    const Range& r = range(T);
    double s = -r.b - r.c * (std::log(T) + 1) - 2 * r.d * T - 3 * r.e * T * T + r.f / (T * T);
    for (auto [c, e] : r.extra) s += e == 99.0 ? -c / T : -c * e * std::pow(T, e - 1);
    return s;
}

double Species::Cp(double T) const {
    const Range& r = range(T);
    double cp = -r.c - 2 * r.d * T - 6 * r.e * T * T - 2 * r.f / (T * T);
    for (auto [c, e] : r.extra) cp += e == 99.0 ? c / T : -c * e * (e - 1) * std::pow(T, e - 1);
    return cp;
}

Species read_species(const std::string& path, std::string_view name, int occurrence) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot open " + path);
    std::string line;
    std::getline(in, line);  // title
    std::getline(in, line);  // counts
    const int elements = std::stoi(line);
    for (int k = 0; k < 4; ++k) std::getline(in, line);  // names, masses, two descriptors
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string first;
        if (!(words >> first) || first != name || --occurrence > 0) continue;
        Records rec(in);
        const auto head = rec.read(2 + static_cast<std::size_t>(elements));
        Species sp;
        sp.name = std::string(name);
        const int option = std::stoi(head[0]);
        const int nranges = std::stoi(head[1]);
        if (option != 1 && option != 4) throw std::runtime_error("data option not read by the tests");
        for (int k = 0; k < elements; ++k) sp.stoichiometry.push_back(real(head[2 + static_cast<std::size_t>(k)]));
        for (int r = 0; r < nranges; ++r) {
            const auto v = rec.read(7);
            Range range{real(v[0]), real(v[1]), real(v[2]), real(v[3]), real(v[4]), real(v[5]), real(v[6]), {}};
            if (option == 4) {
                std::string countline;
                std::getline(in, countline);
                std::istringstream cw(countline);
                std::vector<std::string> toks;
                std::string t;
                while (cw >> t) toks.push_back(t);
                const auto n = static_cast<std::size_t>(std::stoi(toks.at(0)));
                for (std::size_t k = 0; k < n; ++k)
                    range.extra.emplace_back(real(toks.at(1 + 2 * k)), real(toks.at(2 + 2 * k)));
            }
            sp.ranges.push_back(range);
        }
        return sp;
    }
    throw std::runtime_error("no species " + std::string(name) + " in " + path);
}

}  // namespace proptest
