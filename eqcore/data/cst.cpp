#include "data/cst.hpp"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "data/limits.hpp"
#include "data/read_dat.hpp"
#include "data/validate.hpp"

namespace eqcore {

namespace {

constexpr std::size_t kPrefix = 8 + 4 + 8;  // magic, version, payload length
constexpr std::size_t kChecksum = 8;

// ---- writing ----

class Out {
public:
    void u8(std::uint8_t v) { buf_.push_back(static_cast<char>(v)); }
    void u32(std::uint32_t v) {
        for (int k = 0; k < 4; ++k) u8(static_cast<std::uint8_t>(v >> (8 * k)));
    }
    void u64(std::uint64_t v) {
        for (int k = 0; k < 8; ++k) u8(static_cast<std::uint8_t>(v >> (8 * k)));
    }
    void i32(int v) { u32(static_cast<std::uint32_t>(v)); }
    void f64(double v) { u64(std::bit_cast<std::uint64_t>(v)); }
    void size(std::size_t n) { u32(static_cast<std::uint32_t>(n)); }
    void str(std::string_view s) {
        size(s.size());
        buf_.append(s);
    }
    // A list: its length, then its items.
    void strs(const std::vector<std::string>& v) {
        size(v.size());
        for (const std::string& x : v) str(x);
    }
    void f64s(const std::vector<double>& v) {
        size(v.size());
        for (double x : v) f64(x);
    }
    void i32s(const std::vector<int>& v) {
        size(v.size());
        for (int x : v) i32(x);
    }
    std::string& bytes() { return buf_; }

private:
    std::string buf_;
};

void put_header(Out& o, const CstHeader& h) {
    o.str(h.writer);
    for (int v : h.writer_version) o.i32(v);
    for (int v : h.min_reader_version) o.i32(v);
    for (int v : h.created) o.i32(v);
    o.str(h.remarks);
}

// Since version 3: the data of an ionic liquid.
void put_ionic(Out& o, const IonicLiquid& q) {
    o.strs(q.cation);
    o.f64s(q.cation_charge);
    o.strs(q.site2);
    o.f64s(q.site2_charge);
    o.i32(q.vacancy);
    o.i32s(q.record_cation);
    o.i32s(q.record_site2);
    o.size(q.excess.size());
    for (const IonicTerm& t : q.excess) {
        o.u8(static_cast<std::uint8_t>(t.kind));
        o.i32s(t.cation);
        o.i32s(t.site2);
        o.size(t.sets.size());
        for (const auto& L : t.sets)
            for (double v : L) o.f64(v);
    }
}

// A quasichemical liquid's data (format version 3 and later).
void put_quasichem(Out& o, const QuasichemData& d) {
    o.u8(d.quadruplet ? 1 : 0);
    o.strs(d.cation);
    o.strs(d.anion);
    o.f64s(d.cation_charge);
    o.f64s(d.anion_charge);
    o.i32s(d.cation_group);
    o.i32s(d.anion_group);
    o.i32s(d.em_cation);
    o.i32s(d.em_anion);
    o.f64s(d.nu_cation);
    o.f64s(d.nu_anion);
    o.f64s(d.zeta);
    o.size(d.em_unused.size());
    for (const auto& r : d.em_unused)
        for (double x : r) o.f64(x);
    o.size(d.coordination.size());
    for (const QuasichemCoordination& c : d.coordination) {
        for (int i : c.ion) o.i32(i);
        for (double z : c.z) o.f64(z);
    }
    o.size(d.terms.size());
    for (const QuasichemTerm& t : d.terms) {
        o.u8(static_cast<std::uint8_t>(t.kind));
        for (int i : t.ion) o.i32(i);
        for (int e : {t.p, t.q, t.r, t.e4, t.ternary}) o.i32(e);
        for (double c : t.coef) o.f64(c);
        for (double c : t.unused) o.f64(c);
    }
    o.size(d.kohler.size());
    for (const QuasichemKohler& k : d.kohler) {
        for (int i : k.cation) o.i32(i);
        o.i32(k.anion);
    }
}

// Since version 2: the sublattices and the magnetic term of every phase.
void put_sublattices(Out& o, const Sublattices& sl) {
    o.size(sl.sites.size());
    for (double a : sl.sites) o.f64(a);
    for (const auto& names : sl.names) {
        o.size(names.size());
        for (const std::string& n : names) o.str(n);
    }
    o.size(sl.member.size());
    for (int m : sl.member) o.i32(m);
}

void put_magnetic(Out& o, const Magnetic& m) {
    o.u8(m.present ? 1 : 0);
    if (!m.present) return;
    o.f64(m.afm);
    o.f64(m.structure);
    o.size(m.tc.size());
    for (std::size_t k = 0; k < m.tc.size(); ++k) {
        o.f64(m.tc[k]);
        o.f64(m.beta[k]);
    }
    o.size(m.interactions.size());
    for (const MagneticInteraction& in : m.interactions) {
        o.size(in.index.size());
        for (int i : in.index) o.i32(i);
        o.size(in.sets.size());
        for (const auto& set : in.sets) {
            o.f64(set[0]);
            o.f64(set[1]);
        }
    }
}

void put_system(Out& o, const System& s) {
    o.str(s.title);
    o.size(s.elements.size());
    for (const Element& e : s.elements) {
        o.str(e.symbol);
        o.f64(e.mass);
    }
    o.size(s.phases.size());
    for (const Phase& p : s.phases) {
        o.str(p.name);
        o.str(p.model_code);
        o.u8(static_cast<std::uint8_t>(p.model));
        o.u8(p.dormant ? 1 : 0);
        o.i32(p.first);
        o.i32(p.count);
        o.size(p.excess.size());
        for (const Interaction& in : p.excess) {
            o.size(in.index.size());
            for (int i : in.index) o.i32(i);
            o.size(in.sets.size());
            for (const auto& L : in.sets)
                for (double v : L) o.f64(v);
            o.size(in.exponent.size());
            for (int e : in.exponent) o.i32(e);
        }
        put_sublattices(o, p.sublattice);
        put_magnetic(o, p.magnetic);
        o.f64s(p.qkto_weight);  // since version 4
        o.i32s(p.qkto_group);
        o.size(p.qkto_kohler.size());  // since version 5
        for (const auto& t : p.qkto_kohler)
            for (int i : t) o.i32(i);
        o.u8(p.quasichem ? 1 : 0);
        if (p.quasichem) put_quasichem(o, *p.quasichem);
        o.u8(p.ionic ? 1 : 0);
        if (p.ionic) put_ionic(o, *p.ionic);
    }
    o.size(s.constituents.size());
    for (const Constituent& c : s.constituents) {
        o.str(c.name);
        o.i32(c.phase);
        o.i32(c.data_option);
        o.size(c.stoich.size());
        for (double a : c.stoich) o.f64(a);
        o.size(c.ranges.size());
        for (const GibbsRange& r : c.ranges) {
            o.f64(r.tmax);
            for (double v : r.coef) o.f64(v);
            o.size(r.extra.size());
            for (const ExtraTerm& x : r.extra) {
                o.f64(x.c);
                o.f64(x.e);
            }
        }
        o.f64(c.molar_volume);
    }
    o.str(s.comment);
    o.size(s.warnings.size());
    for (const std::string& w : s.warnings) o.str(w);
}

// ---- reading ----

// An unsigned little-endian integer from unaligned bytes.
template <typename U>
U load_le(const char* p) {
    U v = 0;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&v, p, sizeof v);
    } else {
        for (unsigned k = 0; k < sizeof v; ++k) v |= static_cast<U>(static_cast<unsigned char>(p[k])) << (8 * k);
    }
    return v;
}

class In {
public:
    In(std::string_view bytes, std::size_t base, const std::string& file) : b_(bytes), base_(base), file_(file) {}

    [[noreturn]] void fail(const std::string& what) const {
        throw DataError(file_, 0, "byte offset " + std::to_string(base_ + pos_) + ": " + what);
    }
    std::size_t left() const { return b_.size() - pos_; }
    bool done() const { return pos_ == b_.size(); }

    std::uint8_t u8(const char* what) {
        need(1, what);
        return static_cast<std::uint8_t>(b_[pos_++]);
    }
    std::uint32_t u32(const char* what) {
        need(4, what);
        const std::uint32_t v = load_le<std::uint32_t>(b_.data() + pos_);
        pos_ += 4;
        return v;
    }
    std::uint64_t u64(const char* what) {
        need(8, what);
        const std::uint64_t v = load_le<std::uint64_t>(b_.data() + pos_);
        pos_ += 8;
        return v;
    }
    int i32(const char* what) { return static_cast<int>(static_cast<std::int32_t>(u32(what))); }
    double f64(const char* what) { return std::bit_cast<double>(u64(what)); }
    // n reals in a row, one bounds check.
    void f64s(double* out, std::size_t n, const char* what) {
        need(8 * n, what);
        if constexpr (std::endian::native == std::endian::little) {
            if (n) std::memcpy(out, b_.data() + pos_, 8 * n);
        } else {
            for (std::size_t k = 0; k < n; ++k) out[k] = std::bit_cast<double>(load_le<std::uint64_t>(b_.data() + pos_ + 8 * k));
        }
        pos_ += 8 * n;
    }
    // n integers in a row, one bounds check.
    void i32s(int* out, std::size_t n, const char* what) {
        need(4 * n, what);
        for (std::size_t k = 0; k < n; ++k)
            out[k] = static_cast<int>(static_cast<std::int32_t>(load_le<std::uint32_t>(b_.data() + pos_ + 4 * k)));
        pos_ += 4 * n;
    }

    // A count of items of at least `item_bytes` each: within `limit` and
    // within the bytes left, so a damaged count never reserves memory.
    [[gnu::always_inline]] std::size_t count(const char* what, std::size_t limit, std::size_t item_bytes) {
        const std::uint32_t n = u32(what);
        if (n > limit || static_cast<std::uint64_t>(n) * item_bytes > left()) [[unlikely]]
            bad_count(what, n, limit);
        return n;
    }
    // A string into `out`.
    void str(std::string& out, const char* what, std::size_t limit = std::string::npos) {
        const std::size_t n = count(what, limit == std::string::npos ? left() : limit, 1);
        out.assign(b_.data() + pos_, n);
        pos_ += n;
    }

private:
    [[gnu::always_inline]] void need(std::size_t n, const char* what) const {
        if (left() < n) [[unlikely]]
            ends_inside(what);
    }
    // The failures, out of the way of the reading itself.
    [[noreturn, gnu::cold, gnu::noinline]] void ends_inside(const char* what) const {
        fail(std::string("file ends inside ") + what);
    }
    [[noreturn, gnu::cold, gnu::noinline]] void bad_count(const char* what, std::uint32_t n, std::size_t limit) {
        pos_ -= 4;
        if (n > limit) fail(std::string(what) + ": " + std::to_string(n) + " exceeds the limit " + std::to_string(limit));
        fail(std::string(what) + ": " + std::to_string(n) + " items do not fit in the " + std::to_string(left()) +
             " bytes left");
    }

    std::string_view b_;
    std::size_t base_;
    std::size_t pos_ = 0;
    const std::string& file_;
};

constexpr std::size_t kNoLimit = static_cast<std::size_t>(-1);

CstHeader get_header(In& in) {
    CstHeader h;
    in.str(h.writer, "writer name", kCstWriterLength);
    for (int& v : h.writer_version) v = in.i32("writer version");
    for (int& v : h.min_reader_version) v = in.i32("minimum reader version");
    for (int& v : h.created) v = in.i32("creation date");
    in.str(h.remarks, "remarks", kCstRemarksLength);
    return h;
}

IonicLiquid get_ionic(In& in) {
    const auto limit = static_cast<std::size_t>(limits::kConstituentsPerMixture);
    auto names = [&](std::vector<std::string>& v, const char* what) {
        v.resize(in.count(what, limit, 4));
        for (std::string& n : v) in.str(n, what);
    };
    auto reals = [&](std::vector<double>& v, const char* what) {
        v.resize(in.count(what, limit, 8));
        in.f64s(v.data(), v.size(), what);
    };
    auto ints = [&](std::vector<int>& v, const char* what, std::size_t most) {
        v.resize(in.count(what, most, 4));
        in.i32s(v.data(), v.size(), what);
    };
    IonicLiquid q;
    names(q.cation, "cation name");
    reals(q.cation_charge, "cation charge");
    names(q.site2, "sublattice-2 name");
    reals(q.site2_charge, "sublattice-2 charge");
    q.vacancy = in.i32("vacancy index");
    ints(q.record_cation, "record cation", limit);
    ints(q.record_site2, "record sublattice-2 species", limit);
    q.excess.resize(in.count("ionic excess terms", static_cast<std::size_t>(limits::kExcessParameters), 16));
    for (IonicTerm& t : q.excess) {
        const std::uint8_t kind = in.u8("ionic excess kind");
        if (kind > static_cast<std::uint8_t>(IonicKind::cc_vab)) in.fail("unknown ionic excess kind " + std::to_string(kind));
        t.kind = static_cast<IonicKind>(kind);
        ints(t.cation, "ionic excess cation", 3);
        ints(t.site2, "ionic excess species", 3);
        t.sets.resize(in.count("coefficient sets", static_cast<std::size_t>(limits::kExcessParameters), 48));
        for (auto& L : t.sets) in.f64s(L.data(), L.size(), "coefficient");
    }
    return q;
}

QuasichemData get_quasichem(In& in) {
    constexpr auto kIons = static_cast<std::size_t>(limits::kConstituentsPerMixture);
    auto strings = [&](std::vector<std::string>& v) {
        v.resize(in.count("ion count", kIons, 4));
        for (std::string& x : v) in.str(x, "ion name");
    };
    auto reals = [&](std::vector<double>& v, const char* what) {
        v.resize(in.count(what, kIons, 8));
        in.f64s(v.data(), v.size(), what);
    };
    auto ints = [&](std::vector<int>& v, const char* what) {
        v.resize(in.count(what, kIons, 4));
        in.i32s(v.data(), v.size(), what);
    };
    QuasichemData d;
    const std::uint8_t q = in.u8("quadruplet flag");
    if (q > 1) in.fail("quadruplet flag " + std::to_string(q));
    d.quadruplet = q == 1;
    strings(d.cation);
    strings(d.anion);
    reals(d.cation_charge, "cation charges");
    reals(d.anion_charge, "anion charges");
    ints(d.cation_group, "cation groups");
    ints(d.anion_group, "anion groups");
    ints(d.em_cation, "end-member cations");
    ints(d.em_anion, "end-member anions");
    reals(d.nu_cation, "end-member cation numbers");
    reals(d.nu_anion, "end-member anion numbers");
    reals(d.zeta, "end-member zeta");
    d.em_unused.resize(in.count("end-member unused reals", kIons, 24));
    for (auto& r : d.em_unused) in.f64s(r.data(), r.size(), "end-member unused real");
    d.coordination.resize(in.count("coordination records", kNoLimit, 48));
    for (QuasichemCoordination& c : d.coordination) {
        for (int& i : c.ion) i = in.i32("coordination ion");
        in.f64s(c.z.data(), c.z.size(), "coordination number");
    }
    d.terms.resize(in.count("excess records", static_cast<std::size_t>(limits::kExcessParameters), 1 + 36 + 128));
    for (QuasichemTerm& t : d.terms) {
        t.kind = static_cast<char>(in.u8("term kind"));
        for (int& i : t.ion) i = in.i32("term ion");
        for (int* e : {&t.p, &t.q, &t.r, &t.e4, &t.ternary}) *e = in.i32("term exponent");
        in.f64s(t.coef.data(), t.coef.size(), "term coefficient");
        in.f64s(t.unused.data(), t.unused.size(), "term unused real");
    }
    d.kohler.resize(in.count("interpolation overrides", kNoLimit, 16));
    for (QuasichemKohler& k : d.kohler) {
        for (int& i : k.cation) i = in.i32("override cation");
        k.anion = in.i32("override anion");
    }
    return d;
}

void get_sublattices(In& in, Sublattices& sl) {
    const std::size_t ns = in.count("sublattice count", static_cast<std::size_t>(limits::kSublattices), 12);
    sl.sites.resize(ns);
    in.f64s(sl.sites.data(), ns, "site number");
    sl.names.resize(ns);
    for (auto& names : sl.names) {
        names.resize(in.count("sublattice constituent count", static_cast<std::size_t>(limits::kConstituentsPerMixture), 4));
        for (std::string& n : names) in.str(n, "sublattice constituent name");
    }
    sl.member.resize(in.count("index table size", static_cast<std::size_t>(limits::kConstituentsPerMixture * limits::kSublattices), 4));
    in.i32s(sl.member.data(), sl.member.size(), "index table entry");
}

void get_magnetic(In& in, Magnetic& m) {
    const std::uint8_t present = in.u8("magnetic flag");
    if (present > 1) in.fail("magnetic flag " + std::to_string(present));
    m.present = present == 1;
    if (!m.present) return;
    m.afm = in.f64("antiferromagnetic multiplier");
    m.structure = in.f64("structure factor");
    const std::size_t n = in.count("magnetic constituent count", static_cast<std::size_t>(limits::kConstituentsPerMixture), 16);
    m.tc.resize(n);
    m.beta.resize(n);
    for (std::size_t k = 0; k < n; ++k) {
        m.tc[k] = in.f64("Tc");
        m.beta[k] = in.f64("beta");
    }
    m.interactions.resize(in.count("magnetic interaction count", static_cast<std::size_t>(limits::kExcessParameters), 8));
    for (MagneticInteraction& x : m.interactions) {
        x.index.resize(in.count("magnetic interaction size", static_cast<std::size_t>(limits::kSublattices + 2), 4));
        in.i32s(x.index.data(), x.index.size(), "magnetic interaction index");
        x.sets.resize(in.count("magnetic sets", static_cast<std::size_t>(limits::kExcessParameters), 16));
        for (auto& set : x.sets) in.f64s(set.data(), 2, "magnetic parameter");
    }
}

System get_system(In& in, std::uint32_t version) {
    System s;
    in.str(s.title, "title");
    const std::size_t ne = in.count("element count", static_cast<std::size_t>(limits::kElements), 12);
    s.elements.resize(ne);
    for (Element& e : s.elements) {
        in.str(e.symbol, "element symbol");
        e.mass = in.f64("element mass");
    }
    const std::size_t np = in.count(
        "phase count", static_cast<std::size_t>(limits::kMixturePhases + limits::kStoichiometricPhases), 22);
    s.phases.resize(np);
    for (Phase& p : s.phases) {
        in.str(p.name, "phase name");
        in.str(p.model_code, "model code");
        const std::uint8_t model = in.u8("model");
        const Model last = version >= 3 ? Model::subi : version >= 2 ? Model::subl : Model::pure;
        if (model > static_cast<std::uint8_t>(last)) in.fail("phase " + p.name + ": unknown model number " + std::to_string(model));
        p.model = static_cast<Model>(model);
        const std::uint8_t dormant = in.u8("dormant flag");
        if (dormant > 1) in.fail("phase " + p.name + ": dormant flag " + std::to_string(dormant));
        p.dormant = dormant == 1;
        p.first = in.i32("first constituent");
        p.count = in.i32("constituent count");
        const std::size_t nx = in.count("interaction count", static_cast<std::size_t>(limits::kExcessParameters), 12);
        p.excess.resize(nx);
        for (Interaction& x : p.excess) {
            const std::size_t k = in.count("interaction size", version >= 2 ? limits::kSublattices + 2 : 3, 4);
            x.index.resize(k);
            in.i32s(x.index.data(), x.index.size(), "interaction index");
            const std::size_t ns = in.count("coefficient sets", static_cast<std::size_t>(limits::kExcessParameters), 48);
            x.sets.resize(ns);
            for (auto& L : x.sets) in.f64s(L.data(), L.size(), "coefficient");
            const std::size_t ke = in.count("exponent count", 3, 4);
            x.exponent.resize(ke);
            in.i32s(x.exponent.data(), x.exponent.size(), "exponent");
        }
        if (version >= 2) {
            get_sublattices(in, p.sublattice);
            get_magnetic(in, p.magnetic);
        }
        if (version >= 4) {
            constexpr auto kMax = static_cast<std::size_t>(limits::kConstituentsPerMixture);
            p.qkto_weight.resize(in.count("QKTO weights", kMax, 8));
            in.f64s(p.qkto_weight.data(), p.qkto_weight.size(), "QKTO weight");
            p.qkto_group.resize(in.count("QKTO groups", kMax, 4));
            in.i32s(p.qkto_group.data(), p.qkto_group.size(), "QKTO group");
        }
        if (version >= 5) {
            p.qkto_kohler.resize(in.count("QKTO interpolation overrides", static_cast<std::size_t>(limits::kExcessParameters), 12));
            for (auto& t : p.qkto_kohler) in.i32s(t.data(), t.size(), "QKTO interpolation override");
        }
        if (version >= 3) {
            const std::uint8_t qc = in.u8("quasichemical flag");
            if (qc > 1) in.fail("phase " + p.name + ": quasichemical flag " + std::to_string(qc));
            if (qc == 1) p.quasichem = get_quasichem(in);
            const std::uint8_t ionic = in.u8("ionic flag");
            if (ionic > 1) in.fail("phase " + p.name + ": ionic flag " + std::to_string(ionic));
            if (ionic == 1) p.ionic = get_ionic(in);
        }
    }
    const std::size_t nc = in.count("constituent count", static_cast<std::size_t>(limits::kConstituents), 28);
    s.constituents.resize(nc);
    for (Constituent& c : s.constituents) {
        in.str(c.name, "constituent name");
        c.phase = in.i32("owning phase");
        c.data_option = in.i32("data option");
        const std::size_t ns = in.count("stoichiometry length", static_cast<std::size_t>(limits::kElements), 8);
        c.stoich.resize(ns);
        in.f64s(c.stoich.data(), c.stoich.size(), "stoichiometry");
        const std::size_t nr = in.count("range count", static_cast<std::size_t>(limits::kRanges), 60);
        c.ranges.resize(nr);
        for (GibbsRange& r : c.ranges) {
            r.tmax = in.f64("Tmax");
            in.f64s(r.coef.data(), r.coef.size(), "coefficient");
            const std::size_t nx = in.count("extra-term count", static_cast<std::size_t>(limits::kExtraTerms), 16);
            r.extra.resize(nx);
            for (ExtraTerm& x : r.extra) {
                x.c = in.f64("extra-term coefficient");
                x.e = in.f64("extra-term exponent");
            }
        }
        c.molar_volume = in.f64("molar volume");
    }
    in.str(s.comment, "comment");
    const std::size_t nw = in.count("warning count", kNoLimit, 4);
    s.warnings.resize(nw);
    for (std::string& w : s.warnings) in.str(w, "warning");
    return s;
}

bool older(const std::array<int, 3>& a, const std::array<int, 3>& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
}

std::string version_text(const std::array<int, 3>& v) {
    return std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]);
}

}  // namespace

std::uint64_t cst_checksum(std::string_view bytes) {
    constexpr std::uint64_t kPrime = 0x100000001b3ULL;
    constexpr std::uint64_t kBasis = 0xcbf29ce484222325ULL;
    auto step = [](std::uint64_t& h, std::uint64_t w) {
        h ^= w;
        h *= kPrime;
        h ^= h >> 32;
    };
    // Four lanes over interleaved words run in parallel in the processor.
    std::array<std::uint64_t, 4> lane = {kBasis, kBasis ^ 1, kBasis ^ 2, kBasis ^ 3};
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32)
        for (std::size_t k = 0; k < 4; ++k) step(lane[k], load_le<std::uint64_t>(bytes.data() + i + 8 * k));
    std::uint64_t h = kBasis;
    for (std::uint64_t l : lane) step(h, l);
    for (; i + 8 <= n; i += 8) step(h, load_le<std::uint64_t>(bytes.data() + i));
    if (i < n) {
        std::uint64_t w = 0;
        for (unsigned k = 0; i + k < n; ++k) w |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes[i + k])) << (8 * k);
        step(h, w);
    }
    step(h, static_cast<std::uint64_t>(n));
    return h;
}

void write_cst(const System& sys, const CstHeader& header, std::ostream& out) {
    if (header.writer.size() > kCstWriterLength)
        throw std::invalid_argument("write_cst: writer name longer than 40 characters");
    if (header.remarks.size() > kCstRemarksLength)
        throw std::invalid_argument("write_cst: remarks longer than 80 characters");
    Out payload;
    put_header(payload, header);
    put_system(payload, sys);
    Out file;
    file.bytes().append(kCstMagic);
    file.u32(static_cast<std::uint32_t>(kCstFormatVersion));
    file.u64(payload.bytes().size());
    file.bytes().append(payload.bytes());
    file.u64(cst_checksum(payload.bytes()));
    out.write(file.bytes().data(), static_cast<std::streamsize>(file.bytes().size()));
    if (!out) throw DataError("(stream)", 0, "writing the binary data failed");
}

void write_cst(const System& sys, const CstHeader& header, const std::string& path) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw DataError(path, 0, "cannot open the file for writing");
    write_cst(sys, header, out);
    out.close();
    if (!out) throw DataError(path, 0, "writing the file failed");
}

CstFile read_cst_bytes(std::string_view bytes, const std::string& name, bool verify_checksum) {
    In prefix(bytes, 0, name);
    if (bytes.size() < kCstMagic.size() || bytes.substr(0, kCstMagic.size()) != kCstMagic)
        prefix.fail("not a .cst file (the magic string is missing)");
    for (std::size_t k = 0; k < kCstMagic.size(); ++k) prefix.u8("magic");
    const std::uint32_t version = prefix.u32("format version");
    if (version == 0 || version > static_cast<std::uint32_t>(kCstFormatVersion))
        throw DataError(name, 0, "format version " + std::to_string(version) + " is not supported (this reader reads version " +
                                     std::to_string(kCstFormatVersion) + ")");
    const std::uint64_t length = prefix.u64("payload length");
    if (length > bytes.size() - kPrefix || bytes.size() - kPrefix - length != kChecksum)
        throw DataError(name, 0, "the file is " + std::to_string(bytes.size()) + " bytes but its payload length " +
                                     std::to_string(length) + " requires " +
                                     std::to_string(kPrefix + kChecksum) + " more (truncated or damaged)");
    const std::string_view payload = bytes.substr(kPrefix, static_cast<std::size_t>(length));
    if (verify_checksum) {
        In tail(bytes.substr(kPrefix + payload.size()), kPrefix + payload.size(), name);
        if (tail.u64("checksum") != cst_checksum(payload)) throw DataError(name, 0, "checksum mismatch: the file is damaged");
    }

    In in(payload, kPrefix, name);
    CstFile f;
    f.header = get_header(in);
    f.header.format_version = static_cast<int>(version);
    if (older(kCstReaderVersion, f.header.min_reader_version))
        throw DataError(name, 0, "the file needs reader version " + version_text(f.header.min_reader_version) +
                                     " or later; this reader is " + version_text(kCstReaderVersion));
    f.system = get_system(in, version);
    if (!in.done()) in.fail("unexpected bytes after the system");
    validate(f.system, name);
    return f;
}

CstFile read_cst(std::istream& in, const std::string& name) {
    std::streambuf* buf = in.rdbuf();
    // A string stream is read where it stands, without a copy.
    if (auto* sb = dynamic_cast<std::stringbuf*>(buf)) {
        const auto here = sb->pubseekoff(0, std::ios::cur, std::ios::in);
        const std::string_view all = sb->view();
        if (here != std::streampos(-1) && static_cast<std::size_t>(here) <= all.size()) {
            sb->pubseekoff(0, std::ios::end, std::ios::in);  // the file is consumed, as by a read
            return read_cst_bytes(all.substr(static_cast<std::size_t>(here)), name);
        }
    }
    // Any other seekable stream is read in one piece into a buffer of its
    // size; a stream that cannot seek through a growing buffer.
    const auto here = buf ? buf->pubseekoff(0, std::ios::cur, std::ios::in) : std::streampos(-1);
    const auto end = buf ? buf->pubseekoff(0, std::ios::end, std::ios::in) : std::streampos(-1);
    if (here != std::streampos(-1) && end != std::streampos(-1) && end >= here) {
        buf->pubseekpos(here, std::ios::in);
        const auto size = static_cast<std::size_t>(end - here);
        const auto bytes = std::make_unique_for_overwrite<char[]>(size);
        const auto got = buf->sgetn(bytes.get(), static_cast<std::streamsize>(size));
        return read_cst_bytes(std::string_view(bytes.get(), static_cast<std::size_t>(std::max<std::streamsize>(got, 0))),
                              name);
    }
    std::string bytes;
    if (buf) {
        std::ostringstream copy;
        copy << buf;
        bytes = std::move(copy).str();
    }
    return read_cst_bytes(bytes, name);
}

CstFile read_cst(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw DataError(path, 0, "cannot open the file for reading");
    return read_cst(in, path);
}

}  // namespace eqcore
