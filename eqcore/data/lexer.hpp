// Record-oriented reading of the ASCII data file.
//
// The file is a sequence of records. A text record is one line. A numeric
// record starts on a new line and takes whitespace-separated values from as
// many lines as it needs; whatever is left on its last line is discarded.
// Blank lines before a record are skipped; tabs, commas and CR are blanks.
// Numbers are Fortran-style (1.0, -.5, 1.0E+03, 1.0D+03); an integer field
// accepts digits with an optional sign only.
//
// Every failure throws DataError with the file name, the line of the
// offending token and a message "<context>, <field>: expected ..., found ...".
// The parser sets the context (e.g. "species NO, range 1") as it goes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace eqcore {

class Lexer {
public:
    Lexer(std::string text, std::string file);

    // Where errors point: the file and the line of the last token read.
    const std::string& file() const { return file_; }
    int line() const { return token_line_; }
    void set_context(std::string context) { context_ = std::move(context); }
    const std::string& context() const { return context_; }

    // True when only blank lines remain.
    bool at_end();

    // The next non-blank line as a whole (without its line end), for text
    // records. `what` names the record in the error at end of file.
    std::string_view text_line(std::string_view what);

    // Numeric fields of the current record; the first call after
    // end_record() starts a new record on a new line. `field` and `index`
    // (when > 0) name the value in errors: "coefficient 4".
    long long integer(std::string_view field, int index = 0);
    double real(std::string_view field, int index = 0);
    // True when the next token of the record parses as an integer (it is not
    // consumed, but errors now point at its line). False at end of file.
    bool next_is_integer();
    // Ends the current record: the rest of its last line is discarded.
    void end_record();

    // Everything after the current record, verbatim, and the line it
    // begins on.
    std::string rest() const;
    int rest_line() const { return in_record_ ? line_ + 1 : line_; }

    // Throws DataError at the current line with the context prepended.
    [[noreturn]] void fail(std::string_view message) const;
    [[noreturn]] void fail_at(int line, std::string_view message) const;

private:
    std::string_view next_token(std::string_view field, int index);
    std::string describe(std::string_view field, int index) const;
    void skip_to_next_line();
    int last_line() const;

    std::string text_;
    std::string file_;
    std::string context_;
    std::size_t pos_ = 0;       // read position in text_
    int line_ = 1;              // line of pos_ (1-based)
    int token_line_ = 1;        // line of the last token or text record
    bool in_record_ = false;    // a numeric record is open
};

// Blanks between tokens: space, tab, comma, CR, form feed, vertical tab.
bool is_blank(char c);
// The whitespace-separated tokens of one line.
std::vector<std::string_view> split_tokens(std::string_view line);

// Parses a whole token; false if it is not a number of that kind.
bool parse_integer(std::string_view token, long long& value);
bool parse_real(std::string_view token, double& value);

}  // namespace eqcore
