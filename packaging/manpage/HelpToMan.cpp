// Turns the text of `fenban --help` (standard input) into the manual page
// fenban.1 (standard output), so the page says what the program says.
//   fenban --help | help_to_man VERSION DATE > fenban.1
// The help's blocks, separated by blank lines: 用法 (kept as written), the
// commands, 选项 (term, two spaces or more, text; the text's further lines
// indented deeper) and paragraphs such as 退出码.
#include <cctype>
#include <iostream>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::u32string Decoded(const std::string& text)
{
    std::u32string out;
    for (std::size_t k = 0; k < text.size();) {
        const auto lead = static_cast<unsigned char>(text[k]);
        const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t point = length == 1 ? lead : lead & (0xFF >> (length + 1));
        for (int i = 1; i < length && k + i < text.size(); ++i)
            point = (point << 6) | (static_cast<unsigned char>(text[k + i]) & 0x3F);
        out += point;
        k += length;
    }
    return out;
}

std::string Encoded(char32_t point)
{
    std::string out;
    if (point < 0x80) {
        out += static_cast<char>(point);
    } else if (point < 0x800) {
        out += static_cast<char>(0xC0 | (point >> 6));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        out += static_cast<char>(0xE0 | (point >> 12));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (point >> 18));
        out += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    }
    return out;
}

bool Wide(char32_t c)
{
    return c >= 0x2E80;
}

bool Closing(char32_t c)
{
    return std::u32string_view(U"，。、；：）」”！？,.;:)").find(c) != std::u32string_view::npos;
}

bool Opening(char32_t c)
{
    return std::u32string_view(U"（「“(").find(c) != std::u32string_view::npos;
}

// Roff text: escapes, and a break point between Chinese characters, which
// have no spaces to break at (never before a closing or after an opening mark).
std::string Roff(const std::string& text, bool breaks = true)
{
    const std::u32string points = Decoded(text);
    std::string out;
    for (std::size_t k = 0; k < points.size(); ++k) {
        const char32_t c = points[k];
        if (c == U'\\')
            out += "\\e";
        else if (c == U'-')
            out += "\\-";
        else
            out += Encoded(c);
        if (breaks && k + 1 < points.size()) {
            const char32_t next = points[k + 1];
            if ((Wide(c) || Wide(next)) && c != U' ' && next != U' ' && !Closing(next) && !Opening(c))
                out += "\\:";
        }
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\''))
        out.insert(0, "\\&");
    return out;
}

int Indent(const std::string& line)
{
    return static_cast<int>(line.find_first_not_of(' '));
}

// "  --seed S        text": the term's end, or npos when the line has none
// (a term is ASCII: letters, digits, dashes, one space between words).
std::size_t TermEnd(const std::string& line)
{
    const std::size_t start = line.find_first_not_of(' ');
    if (start > 2 || start == std::string::npos)
        return std::string::npos;
    std::size_t k = start;
    while (k < line.size()
        && (std::isalnum(static_cast<unsigned char>(line[k])) || line[k] == '-'
            || (line[k] == ' ' && k + 1 < line.size() && line[k + 1] != ' ')))
        ++k;
    if (k == start || k + 2 > line.size() || line.compare(k, 2, "  ") != 0)
        return std::string::npos;
    return k;
}

// A term as roff: the first word bold, the argument italic.
std::string TermRoff(const std::string& term)
{
    const std::size_t space = term.find(' ');
    std::string out = "\\fB" + Roff(term.substr(0, space), false) + "\\fR";
    if (space != std::string::npos)
        out += " \\fI" + Roff(term.substr(space + 1), false) + "\\fR";
    return out;
}

// Lines of one paragraph joined: a space only between two ASCII words.
void Join(std::string& text, const std::string& line)
{
    const std::size_t start = line.find_first_not_of(' ');
    if (start == std::string::npos)
        return;
    const std::string part = line.substr(start);
    if (!text.empty() && static_cast<unsigned char>(text.back()) < 0x80
        && static_cast<unsigned char>(part.front()) < 0x80)
        text += ' ';
    text += part;
}

const std::string Colon = "：";

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: fenban --help | help_to_man VERSION DATE > fenban.1\n";
        return 2;
    }
    const std::map<std::string, std::string> sectionNames {{"用法", "概述"}, {"退出码", "退出状态"}};
    std::vector<std::vector<std::string>> blocks(1);
    for (std::string line; std::getline(std::cin, line);) {
        if (line.find_first_not_of(' ') == std::string::npos) {
            if (!blocks.back().empty())
                blocks.emplace_back();
        } else {
            blocks.back().push_back(line);
        }
    }
    std::cout << ".TH FENBAN 1 \"" << argv[2] << "\" \"fenban " << argv[1] << "\" \"均衡分班\"\n"
              << ".SH 名称\nfenban \\- 把一个年级的学生均衡地分成平行班\n"
              << ".\\\" Chinese text is not stretched to both margins; no word is hyphenated.\n.ad l\n.nh\n";
    bool described = false;
    for (const std::vector<std::string>& block : blocks) {
        if (block.empty())
            continue;
        std::size_t first = 0;
        std::string paragraph;
        bool verbatim = false;
        // A heading: "选项：" alone, or "退出码：" before its text.
        if (const std::size_t colon = block[0].find(Colon);
            Indent(block[0]) == 0 && colon != std::string::npos && TermEnd(block[0]) == std::string::npos) {
            const std::string name = block[0].substr(0, colon);
            const auto mapped = sectionNames.find(name);
            std::cout << ".SH " << (mapped == sectionNames.end() ? name : mapped->second) << '\n';
            verbatim = name == "用法";
            described = !verbatim;
            paragraph = block[0].substr(colon + Colon.size());
            first = 1;
        } else if (!described) {
            std::cout << ".SH 描述\n"
                      << Roff(
                             "不带命令时，fenban 打开均衡分班的窗口；“fenban 文件”在窗口中打开该文件（分班文件 .fenban "
                             "或表格文件），如同“打开”。下面的命令不开窗口：")
                      << '\n';
            described = true;
        }
        if (verbatim) {
            std::cout << ".nf\n";
            for (std::size_t k = first; k < block.size(); ++k)
                std::cout << Roff(block[k].substr(std::min<std::size_t>(2, Indent(block[k]))), false) << '\n';
            std::cout << ".fi\n";
            continue;
        }
        int termIndent = -1;
        const auto flush = [&] {
            if (!paragraph.empty())
                std::cout << (termIndent < 0 ? ".PP\n" : "") << Roff(paragraph) << '\n';
            paragraph.clear();
        };
        for (std::size_t k = first; k < block.size(); ++k) {
            const std::string& line = block[k];
            if (const std::size_t end = TermEnd(line);
                end != std::string::npos && Indent(line) <= 2 && (termIndent < 0 || Indent(line) <= termIndent)) {
                flush();
                termIndent = Indent(line);
                std::cout << ".TP\n" << TermRoff(line.substr(termIndent, end - termIndent)) << '\n';
                Join(paragraph, line.substr(end));
            } else {
                Join(paragraph, line);
            }
        }
        flush();
    }
    std::cout << ".SH 文件\n.TP\n\\fI~/.local/share/fenban/\\fR\n"
              << Roff("恢复文件：程序没有正常关闭时，下次启动可从这里恢复未保存的分班。") << '\n'
              << ".TP\n\\fI~/.config/fenban/fenban.conf\\fR\n"
              << Roff("设置：打开表格时记住的各列用途。") << '\n'
              << ".TP\n\\fI/usr/share/fenban/sample\\-grade.tsv\\fR\n"
              << Roff("虚构的 600 名学生的年级表；sample-grade-rules.tsv 另有同班、不同班、固定等规则列。") << '\n';
    return 0;
}
