#include "data/lexer.hpp"

#include <charconv>
#include <system_error>

#include "data/read_dat.hpp"

namespace eqcore {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == ',' || c == '\r' || c == '\f' || c == '\v'; }

std::vector<std::string_view> split_tokens(std::string_view line) {
    std::vector<std::string_view> out;
    std::size_t p = 0;
    while (p < line.size()) {
        while (p < line.size() && is_blank(line[p])) ++p;
        const std::size_t b = p;
        while (p < line.size() && !is_blank(line[p])) ++p;
        if (p > b) out.push_back(line.substr(b, p - b));
    }
    return out;
}

namespace {

// Quotes a token for an error message, cut to a readable length.
std::string quoted(std::string_view token) {
    constexpr std::size_t kShown = 40;
    std::string out = "'";
    out += token.substr(0, kShown);
    if (token.size() > kShown) out += "...";
    out += "'";
    return out;
}

}  // namespace

bool parse_integer(std::string_view token, long long& value) {
    if (token.empty()) return false;
    std::size_t start = (token[0] == '+') ? 1 : 0;
    if (start == token.size()) return false;
    const char* first = token.data() + start;
    const char* last = token.data() + token.size();
    auto [ptr, ec] = std::from_chars(first, last, value);
    return ec == std::errc() && ptr == last;
}

bool parse_real(std::string_view token, double& value) {
    // Fortran forms: a D exponent and a leading '+' are not understood by
    // from_chars; words like "inf" or "nan" are never numbers in a data file.
    constexpr std::size_t kMaxLength = 64;
    if (token.empty() || token.size() > kMaxLength) return false;
    char buf[kMaxLength];
    std::size_t n = 0;
    bool digit = false;
    for (std::size_t i = 0; i < token.size(); ++i) {
        char c = token[i];
        if (c >= '0' && c <= '9') {
            digit = true;
        } else if (c == 'd' || c == 'D') {
            c = 'e';
        } else if (c == '+' && i == 0) {
            continue;
        } else if (c != '.' && c != '-' && c != '+' && c != 'e' && c != 'E') {
            return false;
        }
        buf[n++] = c;
    }
    if (!digit || n == 0) return false;
    auto [ptr, ec] = std::from_chars(buf, buf + n, value);
    return ec == std::errc() && ptr == buf + n;
}

Lexer::Lexer(std::string text, std::string file) : text_(std::move(text)), file_(std::move(file)) {}

void Lexer::fail(std::string_view message) const { fail_at(token_line_, message); }

void Lexer::fail_at(int line, std::string_view message) const {
    std::string what = context_;
    if (!what.empty() && !message.empty()) what += ", ";
    what += message;
    throw DataError(file_, line, what);
}

int Lexer::last_line() const {
    // At the end of a file that ends with a line end, the last line is the
    // one before.
    return (!text_.empty() && text_.back() == '\n' && line_ > 1) ? line_ - 1 : line_;
}

void Lexer::skip_to_next_line() {
    while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
    if (pos_ < text_.size()) {
        ++pos_;
        ++line_;
    }
}

bool Lexer::at_end() {
    std::size_t p = pos_;
    for (; p < text_.size(); ++p) {
        char c = text_[p];
        if (!is_blank(c) && c != '\n') return false;
    }
    return true;
}

std::string_view Lexer::text_line(std::string_view what) {
    end_record();
    for (;;) {
        if (pos_ >= text_.size()) {
            token_line_ = last_line();
            fail(std::string("expected ") + std::string(what) + ", found end of file");
        }
        std::size_t begin = pos_;
        std::size_t end = text_.find('\n', begin);
        if (end == std::string::npos) end = text_.size();
        std::string_view line(text_.data() + begin, end - begin);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        bool blank = true;
        for (char c : line) {
            if (!is_blank(c)) {
                blank = false;
                break;
            }
        }
        token_line_ = line_;
        skip_to_next_line();
        if (!blank) return line;
    }
}

void Lexer::end_record() {
    if (in_record_) {
        skip_to_next_line();
        in_record_ = false;
    }
}

std::string_view Lexer::next_token(std::string_view field, int index) {
    in_record_ = true;
    for (;;) {
        while (pos_ < text_.size() && is_blank(text_[pos_])) ++pos_;
        if (pos_ >= text_.size()) {
            token_line_ = last_line();
            fail(describe(field, index) + ": expected a number, found end of file");
        }
        if (text_[pos_] == '\n') {
            ++pos_;
            ++line_;
            continue;
        }
        std::size_t begin = pos_;
        while (pos_ < text_.size() && !is_blank(text_[pos_]) && text_[pos_] != '\n') ++pos_;
        token_line_ = line_;
        return std::string_view(text_.data() + begin, pos_ - begin);
    }
}

std::string Lexer::describe(std::string_view field, int index) const {
    std::string out(field);
    if (index > 0) {
        out += ' ';
        out += std::to_string(index);
    }
    return out;
}

long long Lexer::integer(std::string_view field, int index) {
    std::string_view tok = next_token(field, index);
    long long value = 0;
    if (parse_integer(tok, value)) return value;
    double real_value = 0.0;
    if (parse_real(tok, real_value))
        fail(describe(field, index) + ": expected an integer, found the real number " + quoted(tok));
    if (tok.find_first_of("*/") != std::string_view::npos)
        fail(describe(field, index) + ": expected an integer, found " + quoted(tok) +
             " (repeat counts and record terminators are not allowed)");
    fail(describe(field, index) + ": expected an integer, found " + quoted(tok));
}

double Lexer::real(std::string_view field, int index) {
    std::string_view tok = next_token(field, index);
    double value = 0.0;
    if (parse_real(tok, value)) return value;
    if (tok.find_first_of("*/") != std::string_view::npos)
        fail(describe(field, index) + ": expected a real number, found " + quoted(tok) +
             " (repeat counts and record terminators are not allowed)");
    fail(describe(field, index) + ": expected a real number, found " + quoted(tok));
}

bool Lexer::next_is_integer() {
    // Outside a record pos_ is at the start of a line, where the next
    // record begins; inside one the next token follows pos_.
    std::size_t p = pos_;
    int line = line_;
    while (p < text_.size() && (is_blank(text_[p]) || text_[p] == '\n')) {
        if (text_[p] == '\n') ++line;
        ++p;
    }
    if (p >= text_.size()) return false;
    token_line_ = line;  // an error about this token points at it
    std::size_t begin = p;
    while (p < text_.size() && !is_blank(text_[p]) && text_[p] != '\n') ++p;
    long long value = 0;
    return parse_integer(std::string_view(text_.data() + begin, p - begin), value);
}

std::string Lexer::rest() const {
    std::size_t p = pos_;
    if (in_record_) {
        while (p < text_.size() && text_[p] != '\n') ++p;
        if (p < text_.size()) ++p;
    }
    return text_.substr(p);
}

}  // namespace eqcore
