#include "fortran_setup.hpp"

#include <exception>
#include <optional>
#include <string>

#include "run.hpp"
#include "setup_error.hpp"

namespace {

elvar::RunSetup described;
std::optional<elvar::Run> run;
std::string last_error;

std::string text(const char* p, ftn::Len n) {
    return std::string(ftn::InChars(p, n).text());
}

// Runs `body`; IERR 0, or 1 with the reason kept for ELVAR_ERRTXT. Nothing
// is thrown back into the Fortran caller.
template <class Body>
void guarded(ftn::Int* ierr, Body&& body) noexcept {
    ftn::Int status = 0;
    try {
        last_error.clear();
        body();
    } catch (const std::exception& e) {
        status = 1;
        try {
            last_error = e.what();
        } catch (...) {
        }
    }
    if (ierr != nullptr) *ierr = status;
}

elvar::Run& open_run() {
    if (!run) throw elvar::SetupError("no host run is open (ELVAR_START)");
    return *run;
}

}  // namespace

extern "C" {

void ELVAR_NEWRUN(const char* case_name, ftn::Len case_len) {
    guarded(nullptr, [&] {
        described = {};
        described.case_name = text(case_name, case_len);
    });
}

void ELVAR_ADDCMP(const char* id, const char* name, const char* formula, ftn::Len id_len,
                  ftn::Len name_len, ftn::Len formula_len) {
    guarded(nullptr, [&] {
        described.components.push_back(
            {text(id, id_len), text(name, name_len), text(formula, formula_len), {}});
    });
}

void ELVAR_ADDOPT(const char* name, const char* base, ftn::Len name_len, ftn::Len base_len) {
    guarded(nullptr, [&] {
        described.option_sets.push_back({text(name, name_len), text(base, base_len)});
    });
}

void ELVAR_ADDCHM(const ftn::Int* neq, const ftn::Real* coef, ftn::Int* ierr) {
    guarded(ierr, [&] {
        if (*neq < 0) throw elvar::SetupError("chemistry: " + std::to_string(*neq) + " equations");
        const std::size_t ncomp = described.components.size();
        elvar::Chemistry chem;
        for (ftn::Int i = 0; i < *neq; ++i) {
            auto& equation = chem.equations.emplace_back();
            for (std::size_t k = 0; k < ncomp; ++k) {
                const ftn::Real c = coef[static_cast<std::size_t>(i) * ncomp + k];
                if (c != 0.0) equation.emplace_back(described.components[k].id, c);
            }
        }
        described.chemistries.push_back(std::move(chem));
    });
}

void ELVAR_START(ftn::Int* ierr) {
    guarded(ierr, [&] {
        if (run) throw elvar::SetupError("a host run is still open (ELVAR_ENDRUN ends it)");
        run.emplace(described);
    });
}

void ELVAR_ENDRUN() {
    run.reset();
}

void ELVAR_OPTSET(const char* name, ftn::Int* id, ftn::Int* ierr, ftn::Len name_len) {
    guarded(ierr, [&] { *id = open_run().option_set(text(name, name_len)); });
}

void ELVAR_CHEMID(const ftn::Int* k, ftn::Int* id, ftn::Int* ierr) {
    guarded(ierr, [&] {
        if (*k < 1) throw elvar::SetupError("no chemistry " + std::to_string(*k));
        *id = open_run().chemistry(static_cast<std::size_t>(*k - 1));
    });
}

void ELVAR_PROPRQ(const ftn::Int* nlist, const ftn::Int* msglev, ftn::Int* ierr) {
    guarded(ierr, [&] { open_run().set_property_request(*nlist, *msglev); });
}

void ELVAR_FLASHC(const ftn::Real* T, const ftn::Real* P, const ftn::Real* duty, ftn::Int* ierr) {
    guarded(ierr, [&] { open_run().set_flash_conditions({*T, *P, *duty}); });
}

void ELVAR_BLOCK(const char* id, const ftn::Int* level, const ftn::Int* nprod, const char* products,
                 ftn::Int* ierr, ftn::Len id_len, ftn::Len product_len) {
    guarded(ierr, [&] {
        elvar::Block b{text(id, id_len), *level, {}};
        for (ftn::Int k = 0; k < *nprod; ++k)
            b.products.push_back(
                text(products + static_cast<std::size_t>(k) * product_len, product_len));
        open_run().set_block(b);
    });
}

void ELVAR_ERRTXT(char* text_out, ftn::Len text_len) {
    ftn::fill(text_out, text_len, last_error);
}

}  // extern "C"
