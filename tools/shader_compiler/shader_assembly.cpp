#include "tools/shader_compiler/shader_assembly.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <set>
#include <sstream>

#include <d3dx9shader.h>

#include "bytecode/bytecode_check.h"
#include "bytecode/constant_reads.h"
#include "bytecode/tokens.h"
#include "tools/shader_compiler/constant_declarations.h"
#include "tools/shader_compiler/constant_table.h"

namespace {

// The name Wine's preprocessor gives a source that has none.
const char* const wineSourceName = "<anonymous>";

bool IsDigitAt(const std::string& text, size_t position) {
    return position < text.size() && std::isdigit(static_cast<unsigned char>(text[position]));
}

size_t SkipDigits(const std::string& text, size_t position) {
    while (IsDigitAt(text, position)) {
        ++position;
    }
    return position;
}

// Wine's assembler writes its messages as "Line 4: TEXT".
bool IsWineMessageAt(const std::string& text, size_t position) {
    const size_t digits = position + 5;
    return text.compare(position, 5, "Line ") == 0 && IsDigitAt(text, digits) &&
           text.compare(SkipDigits(text, digits), 2, ": ") == 0;
}

// Wine's D3DX joins its preprocessor's messages (lines that start with the
// source's name) and its assembler's with strlen, although the
// preprocessor's are not terminated: heap bytes up to the next zero byte
// come between them, before the assembler's first "Line ".
std::string WithoutHeapBytes(const std::string& text) {
    const size_t nameLength = std::strlen(wineSourceName);
    size_t end = 0;
    while (text.compare(end, nameLength, wineSourceName) == 0 &&
           text.find('\n', end) != std::string::npos) {
        end = text.find('\n', end) + 1;
    }
    size_t first = end;
    while (first < text.size() && !IsWineMessageAt(text, first)) {
        first = text.find("Line ", first + 1);
    }
    return end == 0 || first >= text.size() ? text : text.substr(0, end) + text.substr(first);
}

// Assembles with D3DX; text receives its messages, code the shader when it
// succeeded.
bool Assemble(const std::string& source, ID3DXBuffer*& code, std::string& text) {
    ID3DXBuffer* errors = nullptr;
    const HRESULT result = D3DXAssembleShader(source.data(), static_cast<UINT>(source.size()),
                                              nullptr, nullptr, 0, &code, &errors);
    text.clear();
    if (errors != nullptr) {
        // The buffer's size bounds the text: the preprocessor's messages are
        // not always terminated.
        text.assign(static_cast<const char*>(errors->GetBufferPointer()), errors->GetBufferSize());
        text.resize(std::strlen(text.c_str()));
        errors->Release();
    }
    return SUCCEEDED(result) && code != nullptr;
}

// The message lines of the assembler's text, without empty ones.
std::vector<std::string> MessageLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(WithoutHeapBytes(text));
    std::string line;
    while (std::getline(stream, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty()) {
            lines.push_back(line);
        }
    }
    return lines;
}

// How often Wine's assembler says text about the source's first lineCount
// lines.
int Occurrences(const std::string& source, int lineCount, const std::string& text) {
    size_t end = 0;
    for (int line = 0; line < lineCount && end != std::string::npos; ++line) {
        end = source.find('\n', end);
        end += end == std::string::npos ? 0 : 1;
    }
    ID3DXBuffer* code = nullptr;
    std::string said;
    Assemble(source.substr(0, end), code, said);
    if (code != nullptr) {
        code->Release();
    }
    int count = 0;
    for (const std::string& line : MessageLines(said)) {
        if (IsWineMessageAt(line, 0) && line.substr(line.find(": ") + 2) == text) {
            ++count;
        }
    }
    return count;
}

// Wine's assembler numbers a message by the line its lexer has reached, and
// it checks a statement only once it has read the token after it: an error
// in "mov oPos, r12" on line 9 is numbered 10, or further on past blank and
// comment lines, but one in the middle of a line keeps its line. The
// statement's own line is the shortest start of the source whose assembly
// gives the message again (its nth time for the nth same message).
int StatementLine(const std::string& source, int reported, const std::string& text,
                  int occurrence) {
    if (Occurrences(source, reported, text) < occurrence) {
        return reported;
    }
    int low = 1;
    int high = reported;
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (Occurrences(source, middle, text) >= occurrence) {
            high = middle;
        } else {
            low = middle + 1;
        }
    }
    return low;
}

// The line number of a message in a compiler's position forms:
// "NAME:4:2: TEXT" from Wine's preprocessor, "NAME(4,2): TEXT" or
// "NAME(4,2-5): TEXT" from the Windows assembler; NAME may be a path with a
// drive letter. Zero when there is none; textStart is where the text begins.
int MessageLine(const std::string& message, size_t& textStart) {
    textStart = 0;
    for (size_t open = message.find_first_of("(:"); open != std::string::npos;
         open = message.find_first_of("(:", open + 1)) {
        if (!IsDigitAt(message, open + 1)) {
            continue;
        }
        size_t position = SkipDigits(message, open + 1);
        const int line = std::atoi(message.c_str() + open + 1);
        if ((message.compare(position, 1, ",") == 0 || message.compare(position, 1, ":") == 0) &&
            IsDigitAt(message, position + 1)) {
            position = SkipDigits(message, position + 1);
        }
        if (message.compare(position, 1, "-") == 0 && IsDigitAt(message, position + 1)) {
            position = SkipDigits(message, position + 1);
        }
        if (message[open] == '(' && message.compare(position, 1, ")") == 0) {
            ++position;
        }
        if (message.compare(position, 1, ":") == 0) {
            textStart = std::min(message.find_first_not_of(" ", position + 1), message.size());
            return line;
        }
    }
    return 0;
}

bool StartsWithWord(const std::string& text, const char* word) {
    const size_t length = std::strlen(word);
    if (text.size() < length ||
        (text.size() > length && std::isalpha(static_cast<unsigned char>(text[length])))) {
        return false;
    }
    for (size_t i = 0; i < length; ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != word[i]) {
            return false;
        }
    }
    return true;
}

// "warning X4717: TEXT" or "error X2000: TEXT" from the Windows assembler,
// "W4300: TEXT" or "E4002: TEXT" from Wine's preprocessor; plain texts are
// errors when assembly failed. A leading kind word goes, the code stays.
bool IsWarning(std::string& body, bool failed) {
    for (const char* word : {"warning", "error"}) {
        if (StartsWithWord(body, word)) {
            body.erase(0, body.find_first_not_of(" :", std::strlen(word)));
            return word[0] == 'w' || !failed;
        }
    }
    return (body.compare(0, 1, "W") == 0 && IsDigitAt(body, 1)) || !failed;
}

} // namespace

void AddAssemblerMessages(const std::string& text, bool failed, const std::string& source,
                          const std::string& fileName, std::string& messages) {
    std::vector<std::string> wineTexts;
    for (std::string line : MessageLines(text)) {
        int lineNumber = 0;
        std::string body;
        // Wine's assembler names no kind: what it says after a success warns.
        bool warning = !failed;
        if (IsWineMessageAt(line, 0)) {
            body = line.substr(line.find(": ") + 2);
            wineTexts.push_back(body);
            lineNumber = StatementLine(source, std::atoi(line.c_str() + 5), body,
                                       static_cast<int>(std::count(wineTexts.begin(),
                                                                   wineTexts.end(), body)));
        } else {
            if (line.compare(0, std::strlen(wineSourceName), wineSourceName) == 0) {
                line.erase(0, std::strlen(wineSourceName));
            }
            size_t textStart = 0;
            lineNumber = MessageLine(line, textStart);
            body = line.substr(textStart);
            body.erase(0, std::min(body.find_first_not_of(": "), body.size()));
            warning = IsWarning(body, failed);
        }
        messages += fileName;
        if (lineNumber > 0) {
            messages += ":" + std::to_string(lineNumber);
        }
        messages += std::string(warning ? ": warning: " : ": error: ") + body + "\n";
    }
}

bool AssembleShader(const std::string& source, const std::string& fileName,
                    std::vector<DWORD>& tokens, std::string& messages) {
    ID3DXBuffer* code = nullptr;
    std::string text;
    const bool assembled = Assemble(source, code, text);
    const size_t messagesBefore = messages.size();
    AddAssemblerMessages(text, !assembled, source, fileName, messages);
    if (!assembled) {
        if (messages.size() == messagesBefore) {
            messages += fileName + ": error: the assembler failed without a message\n";
        }
        if (code != nullptr) {
            code->Release();
        }
        return false;
    }
    const DWORD* begin = static_cast<const DWORD*>(code->GetBufferPointer());
    tokens.assign(begin, begin + code->GetBufferSize() / sizeof(DWORD));
    code->Release();
    return true;
}

namespace {

// Constant registers an instruction reads that neither a declaration nor a
// def gives a value: the program sets nothing there. Counted in the compiled
// shader's tokens, as materialcheck counts them.
void WarnAboutUncoveredReads(const std::vector<ConstantDeclaration>& constants,
                             const std::vector<DWORD>& tokens, const std::string& fileName,
                             std::string& messages) {
    const ShaderKind kind =
        (tokens[0] >> 16) == vertexVersionKind ? ShaderKind::Vertex : ShaderKind::Fragment;
    const std::vector<ShaderInstruction> instructions = ReadShaderInstructions(
        tokens.data(), tokens.size() * sizeof(DWORD), kind, leastDeviceLimits);
    std::set<std::uint32_t> covered;
    for (const ConstantDeclaration& constant : constants) {
        for (UINT r = 0; r < RegistersTaken(constant); ++r) {
            covered.insert(constant.registerIndex + r);
        }
    }
    for (const UncoveredRead& read : FindUncoveredConstantReads(instructions, covered)) {
        messages += fileName + ": warning: instruction " +
                    std::to_string(read.instruction->index) + " (token " +
                    std::to_string(read.instruction->token) + "): " +
                    read.instruction->opcode->name + " reads c" + std::to_string(read.number) +
                    ", which no @constant or def covers: the program sets nothing there\n";
    }
}

} // namespace

bool CompileShader(const std::string& source, const std::string& fileName,
                   std::vector<DWORD>& tokens, std::string& messages) {
    std::vector<ConstantDeclaration> constants;
    // Both run so that one build shows every problem of the file.
    const bool declared = ParseConstantDeclarations(source, fileName, constants, messages);
    const bool assembled = AssembleShader(source, fileName, tokens, messages);
    if (!declared || !assembled) {
        return false;
    }
    const DWORD version = tokens[0];
    if (!CheckConstantRegisters(constants, version, fileName, messages)) {
        return false;
    }
    WarnAboutUnrestoredDefaults(constants, version, fileName, messages);
    const std::vector<DWORD> comment = BuildConstantTableComment(constants, version);
    if (comment.size() - 1 > (D3DSI_COMMENTSIZE_MASK >> D3DSI_COMMENTSIZE_SHIFT)) {
        messages += fileName + ": error: the constant table is too large for a shader comment\n";
        return false;
    }
    // D3DX looks for the table among the comments; right after the version
    // token is where compilers put it.
    tokens.insert(tokens.begin() + 1, comment.begin(), comment.end());
    WarnAboutUncoveredReads(constants, tokens, fileName, messages);
    return true;
}
