#include "case_file.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace vorsk_test {
namespace {

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads one quoted string starting at text[pos] == '"'; pos ends after it.
bool read_quoted(const std::string& text, std::size_t& pos, std::string& out, std::string& error) {
    if (pos >= text.size() || text[pos] != '"') {
        error = "expected a quoted string";
        return false;
    }
    ++pos;
    while (pos < text.size() && text[pos] != '"') {
        char c = text[pos++];
        if (c != '\\') {
            out += c;
            continue;
        }
        if (pos >= text.size()) break;
        c = text[pos++];
        switch (c) {
            case 'e': out += '\x1b'; break;
            case 'r': out += '\r'; break;
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case 'a': out += '\a'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'v': out += '\v'; break;
            case '0': out += '\0'; break;
            case '\\': out += '\\'; break;
            case '"': out += '"'; break;
            case 'x': {
                const int hi = pos < text.size() ? hex_value(text[pos]) : -1;
                const int lo = pos + 1 < text.size() ? hex_value(text[pos + 1]) : -1;
                if (hi < 0 || lo < 0) {
                    error = "\\x needs two hexadecimal digits";
                    return false;
                }
                out += static_cast<char>(hi * 16 + lo);
                pos += 2;
                break;
            }
            default: error = std::string("unknown escape \\") + c; return false;
        }
    }
    if (pos >= text.size()) {
        error = "unterminated quoted string";
        return false;
    }
    ++pos;
    return true;
}

std::string trim(const std::string& s) {
    const auto begin = s.find_first_not_of(" \t");
    if (begin == std::string::npos) return "";
    const auto end = s.find_last_not_of(" \t");
    return s.substr(begin, end - begin + 1);
}

bool split_words(const std::string& text, std::vector<std::string>& words, std::string& error) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (text[pos] == ' ' || text[pos] == '\t') {
            ++pos;
            continue;
        }
        std::string word;
        if (text[pos] == '"') {
            if (!read_quoted(text, pos, word, error)) return false;
        } else {
            while (pos < text.size() && text[pos] != ' ' && text[pos] != '\t') word += text[pos++];
        }
        words.push_back(word);
    }
    return true;
}

void append_named(std::vector<NamedText>& list, const std::string& name, const std::string& text) {
    for (auto& entry : list) {
        if (entry.first == name) {
            entry.second += text;
            return;
        }
    }
    list.emplace_back(name, text);
}

// One header line of a case; false with error set when it is malformed.
bool read_header(GoldenCase& c, const std::string& line, bool& has_expect, std::string& error) {
    const auto colon = line.find(':');
    if (colon == std::string::npos) {
        error = "a header line needs a colon";
        return false;
    }
    const std::string key = trim(line.substr(0, colon));
    const std::string rest = trim(line.substr(colon + 1));
    std::string value;
    if (key == "args") return split_words(rest, c.args, error);
    if (key == "pipe") {
        c.pipe_input = rest == "yes";
        return true;
    }
    if (key == "status") {
        c.status = std::stoi(rest);
        return true;
    }
    if (key == "env") {
        const auto equals = rest.find('=');
        if (equals == std::string::npos) {
            error = "env needs NAME=VALUE";
            return false;
        }
        std::string env_value = rest.substr(equals + 1);
        if (!env_value.empty() && env_value[0] == '"' &&
            !decode_quoted(env_value, env_value, error)) {
            return false;
        }
        c.env.emplace_back(rest.substr(0, equals), env_value);
        return true;
    }
    if (!decode_quoted(rest, value, error)) return false;
    if (key == "in") {
        c.input += value;
    } else if (key == "stderr") {
        c.expected_stderr += value;
    } else if (key == "stderr-prefix") {
        c.expected_stderr += value;
        c.stderr_is_prefix = true;
    } else if (key == "from") {
        c.stdout_from += value;
    } else if (key == "expect") {
        c.expected_stdout += value;
        has_expect = true;
    } else if (key.rfind("file ", 0) == 0) {
        append_named(c.files, trim(key.substr(5)), value);
    } else if (key.rfind("data ", 0) == 0) {
        append_named(c.data_files, trim(key.substr(5)), value);
    } else if (key.rfind("outfile ", 0) == 0) {
        append_named(c.outfiles, trim(key.substr(8)), value);
    } else {
        error = "unknown header '" + key + "'";
        return false;
    }
    return true;
}

}  // namespace

bool decode_quoted(const std::string& text, std::string& out, std::string& error) {
    std::size_t pos = 0;
    std::string piece;
    if (!read_quoted(text, pos, piece, error)) return false;
    const std::string tail = trim(text.substr(pos));
    long repeat = 1;
    if (!tail.empty()) {
        if (tail[0] != 'x' || tail.size() < 2 ||
            tail.find_first_not_of("0123456789", 1) != std::string::npos) {
            error = "after a quoted string only xN may stand";
            return false;
        }
        repeat = std::stol(tail.substr(1));
    }
    std::string result;
    for (long i = 0; i < repeat; ++i) result += piece;
    out = result;
    return true;
}

std::vector<GoldenCase> read_case_file(const std::string& path) {
    std::vector<GoldenCase> cases;
    std::ifstream file(path, std::ios::binary);
    const std::string base = path.substr(path.find_last_of('/') + 1);
    std::string line;
    int number = 0;
    GoldenCase* current = nullptr;
    bool in_block = false;
    bool has_expect = false;
    std::vector<std::string> block;

    auto close_case = [&] {
        if (current == nullptr) return;
        while (!block.empty() && block.back().empty()) block.pop_back();
        if (!has_expect) {
            for (const auto& row : block) current->expected_stdout += row + "\n";
        } else if (!block.empty() && current->parse_error.empty()) {
            current->parse_error = "a case with expect: has no literal block";
        }
        block.clear();
    };

    while (std::getline(file, line)) {
        ++number;
        if (line.rfind("===", 0) == 0) {
            close_case();
            cases.emplace_back();
            current = &cases.back();
            current->file = base;
            current->line = number;
            current->name = trim(line.substr(3));
            in_block = false;
            has_expect = false;
            continue;
        }
        if (current == nullptr) continue;  // comments before the first case
        if (in_block) {
            block.push_back(line);
            continue;
        }
        if (line == "---") {
            in_block = true;
            continue;
        }
        if (trim(line).empty() || line[0] == '#') continue;
        std::string error;
        if (current->parse_error.empty() && !read_header(*current, line, has_expect, error)) {
            current->parse_error = "line " + std::to_string(number) + ": " + error;
        }
    }
    close_case();
    return cases;
}

std::string make_visible(const std::string& bytes) {
    std::string out;
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\n' || (c >= 0x20 && c < 0x7f)) {
            out += ch;
        } else if (c == 0x1b) {
            out += "\\e";
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

}  // namespace vorsk_test
