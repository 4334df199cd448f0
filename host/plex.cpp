#include "plex.hpp"

#include <algorithm>
#include <string>
#include <utility>

#include "blocks.hpp"
#include "setup_error.hpp"

namespace elvar {
namespace {

using ftn::Int;

// Words 1..kNullWords stay zero: an unknown record is located there.
constexpr Int kNullWords = 256;
constexpr Int kNullLocation = 1;
// Record identifiers besides the global record start here, well away from
// word locations, so that an identifier used as a location shows at once.
constexpr Int kFirstRecordId = 1001;
constexpr Int kGlobalRecordWords = 256;
constexpr Int kComponentDataWords = 32;
constexpr Int kDirectoryStride = 6;  // words per component in the directory
constexpr Int kNameWords = 8;        // 32 characters, 4 per word
constexpr Int kIdWords = 2;          // 8 characters, 4 per word
constexpr Int kAtomSlots = 12;
constexpr Int kFormulaWords = 8;
constexpr Int kOptionSetWords = 4;
constexpr Int kOptionRowWords = 5;

struct Directory {
    std::vector<std::pair<Int, Int>> records;  // identifier, location
    std::vector<std::pair<Int, ChemistryInfo>> chemistries;
    Int idscc = 0, mw = 0, atomno = 0, noatom = 0, frmula = 0;
};

Directory& directory() {
    static Directory d;
    return d;
}

// Hands out plex words and record identifiers in order, refusing what does
// not fit.
class Builder {
public:
    Int area(Int words, const std::string& what) {
        words = std::max<Int>(words, 1);
        if (next_ + words - 1 > static_cast<Int>(kPlexWords))
            throw SetupError("the run does not fit into the host's plex of " +
                             std::to_string(kPlexWords) + " words: no room for " + what + " (" +
                             std::to_string(words) + " words at word " + std::to_string(next_) +
                             ")");
        const Int at = next_;
        next_ += words;
        return at;
    }
    // A record with a fresh identifier (or the one given); returns its location.
    std::pair<Int, Int> record(Int words, const std::string& what, Int id = 0) {
        const Int at = area(words, what);
        if (id == 0) id = next_id_++;
        directory().records.emplace_back(id, at);
        return {id, at};
    }
    Int used() const { return next_ - 1; }

private:
    Int next_ = kNullWords + 1;
    Int next_id_ = kFirstRecordId;
};

void put_words(Int at, Int nwords, std::size_t per_word, std::string_view text) {
    ftn::put_text(&plex(at), nwords, per_word, text);
}

void build_components(Builder& b, Int global, const std::vector<PlexComponent>& comps) {
    Directory& d = directory();
    const Int n = static_cast<Int>(comps.size());

    // Component data header -> name table; directory -> entry numbers.
    const auto [header_id, header] = b.record(kComponentDataWords, "the component data header");
    const auto [names_id, names] = b.record(kNameWords * n, "the component name table");
    const auto [dir_id, dir] = b.record(1 + kDirectoryStride * n, "the component directory");
    plex(global + kComponentDataWord).set_i(header_id);
    plex(header + kNameTableWord).set_i(names_id);
    plex(global + kDirectoryWord).set_i(dir_id);
    plex(dir).set_i(n);

    d.idscc = b.area(1 + kIdWords * n, "the component IDs");
    d.mw = b.area(1 + n, "the molecular weights");
    d.atomno = b.area(1 + kAtomSlots * n, "the atomic numbers");
    d.noatom = b.area(1 + kAtomSlots * n, "the atom counts");
    d.frmula = b.area(1 + kFormulaWords * n, "the formulas");

    for (Int k = 1; k <= n; ++k) {
        const PlexComponent& c = comps[static_cast<std::size_t>(k - 1)];
        // The name table holds the names last component first, so that a
        // reader must go through the directory's entry numbers.
        const Int entry = n - k + 1;
        plex(dir + kDirectoryStride * k - 5).set_i(k);
        plex(dir + kDirectoryStride * k).set_i(entry);
        put_words(names + kNameWords * (entry - 1), kNameWords, 4, c.name);
        put_words(d.idscc + kIdWords * k - 1, kIdWords, 4, c.id);
        plex(d.mw + k).set_r(c.mw);
        const Int slots = d.atomno + kAtomSlots * (k - 1);
        const Int counts = d.noatom + kAtomSlots * (k - 1);
        Int s = 1;
        for (const Atoms& a : c.atoms.atoms) {
            plex(slots + s).set_r(static_cast<double>(a.z));
            plex(counts + s).set_r(a.count);
            ++s;
        }
        put_words(d.frmula + kFormulaWords * (k - 1) + 1, kFormulaWords, 4, c.formula);
    }
    word(DMS_IPOFF4, 2).set_i(d.idscc);
}

std::vector<Int> build_option_sets(Builder& b, Int global, const std::vector<PlexOptionSet>& sets) {
    std::vector<Int> ids;
    for (const PlexOptionSet& s : sets) {
        const auto [id, at] = b.record(kOptionSetWords, "option set " + s.name);
        put_words(at, 2, 8, s.name);
        ids.push_back(id);
    }
    // Definition entries: one per base option set, each listing the sets
    // derived from it (name, base name, derived set's record).
    std::vector<std::string> bases;
    for (const PlexOptionSet& s : sets)
        if (!s.base.empty() && std::find(bases.begin(), bases.end(), s.base) == bases.end())
            bases.push_back(s.base);
    if (bases.empty()) return ids;
    const auto [list_id, list] = b.record(1 + static_cast<Int>(bases.size()), "the option-set definitions");
    plex(global + kOptionListWord).set_i(list_id);
    plex(list).set_i(static_cast<Int>(bases.size()));
    Int entry_no = 1;
    for (const std::string& base : bases) {
        Int rows = 0;
        for (const PlexOptionSet& s : sets) rows += s.base == base ? 1 : 0;
        const auto [entry_id, entry] =
            b.record(4 + kOptionRowWords * rows, "the definitions derived from " + base);
        plex(list + entry_no++).set_i(entry_id);
        plex(entry).set_i(rows);
        Int r = 1;
        for (std::size_t k = 0; k < sets.size(); ++k) {
            if (sets[k].base != base) continue;
            const Int row = entry + kOptionRowWords * r - 1;
            put_words(row, 2, 8, sets[k].name);
            put_words(row + 2, 2, 8, base);
            plex(row + 4).set_i(ids[k]);
            ++r;
        }
    }
    return ids;
}

std::vector<Int> build_chemistries(Builder& b, Int ncomp, const std::vector<PlexChemistry>& chems) {
    std::vector<Int> ids;
    for (std::size_t c = 0; c < chems.size(); ++c) {
        const auto& eqs = chems[c].equations;
        const Int neq = static_cast<Int>(eqs.size());
        const auto [id, at] =
            b.record(1 + ncomp * neq, "chemistry " + std::to_string(c + 1));
        plex(at).set_i(neq);
        const Int matrix = at + 1;
        for (Int i = 1; i <= neq; ++i)
            for (Int j = 1; j <= ncomp; ++j)
                plex(matrix + (i - 1) * ncomp + j - 1)
                    .set_r(eqs[static_cast<std::size_t>(i - 1)][static_cast<std::size_t>(j - 1)]);
        directory().chemistries.emplace_back(id, ChemistryInfo{neq, matrix});
        ids.push_back(id);
    }
    return ids;
}

// Flash work arrays: five real arrays and three integer arrays of NCOMP
// elements each, located through DMS_STWKWK words 1, 2 and SHS_STWORK.
void build_work_arrays(Builder& b, Int ncomp) {
    const Int n = std::max<Int>(ncomp, 1);
    const Int reals = b.area(5 * n, "the flash work arrays");
    const Int ints = b.area(3 * n, "the flash index arrays");
    word(DMS_STWKWK, 1).set_i(reals - 1);
    word(DMS_STWKWK, 2).set_i(ints - 1);
    const std::size_t real_words[] = {15, 16, 19, 20, 21};  // XM, XLIQ, YVAP, XCS, XNC
    const std::size_t int_words[] = {26, 27, 28};           // IDXM, IDXCS, IDXNC
    Int offset = 1;
    for (std::size_t w : real_words) {
        word(SHS_STWORK, w).set_i(offset);
        offset += n;
    }
    offset = 1;
    for (std::size_t w : int_words) {
        word(SHS_STWORK, w).set_i(offset);
        offset += n;
    }
}

}  // namespace

void clear_plex() {
    directory() = Directory{};
    std::fill(DMS_PLEX, DMS_PLEX + kPlexWords, ftn::Word{});
}

PlexMap build_plex(const std::vector<PlexComponent>& components,
                   const std::vector<PlexOptionSet>& option_sets,
                   const std::vector<PlexChemistry>& chemistries) {
    clear_plex();
    Builder b;
    PlexMap m;
    const auto global = b.record(kGlobalRecordWords, "the global record", kGlobalRecord).second;
    build_components(b, global, components);
    m.option_sets = build_option_sets(b, global, option_sets);
    m.chemistries = build_chemistries(b, static_cast<Int>(components.size()), chemistries);
    build_work_arrays(b, static_cast<Int>(components.size()));
    m.words_used = b.used();
    return m;
}

Int locate_record(Int id) {
    for (const auto& [rid, at] : directory().records)
        if (rid == id) return at;
    return kNullLocation;
}

Int parameter_location(std::string_view name) {
    const Directory& d = directory();
    if (name == "IDSCC") return d.idscc;
    if (name == "MW") return d.mw;
    if (name == "ATOMNO") return d.atomno;
    if (name == "NOATOM") return d.noatom;
    if (name == "FRMULA") return d.frmula;
    return 0;
}

ChemistryInfo chemistry_info(Int id) {
    for (const auto& [cid, info] : directory().chemistries)
        if (cid == id) return info;
    return {};
}

}  // namespace elvar
