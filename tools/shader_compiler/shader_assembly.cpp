#include "tools/shader_compiler/shader_assembly.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <sstream>

#include <d3dx9shader.h>

#include "tools/shader_compiler/constant_declarations.h"
#include "tools/shader_compiler/constant_table.h"

namespace {

// The line number in an assembler message: "Line 4: ..." from Wine's
// assembler, "name:4:2: ..." from its preprocessor, "name(4,2): ..."
// elsewhere. Zero when there is none; textStart is where the text begins.
int MessageLine(const std::string& message, size_t& textStart) {
    textStart = 0;
    size_t position = message.compare(0, 5, "Line ") == 0 ? 5 : message.find_first_of("(:");
    if (position == std::string::npos) {
        return 0;
    }
    position += position == 5 ? 0 : 1;
    int line = 0;
    const size_t digits = position;
    while (position < message.size() &&
           std::isdigit(static_cast<unsigned char>(message[position]))) {
        line = line * 10 + (message[position++] - '0');
    }
    if (position == digits) {
        return 0;
    }
    // A column may follow; then the punctuation before the text.
    if (position + 1 < message.size() && (message[position] == ':' || message[position] == ',') &&
        std::isdigit(static_cast<unsigned char>(message[position + 1]))) {
        position = message.find_first_not_of("0123456789", position + 1);
    }
    textStart = std::min(message.find_first_not_of(") :", position), message.size());
    return line;
}

bool StartsWithWarning(const std::string& text) {
    std::string lower;
    for (size_t i = 0; i < text.size() && i < 7; ++i) {
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
    }
    return lower == "warning";
}

// Rewrites each assembler message as "FILE:LINE: error: TEXT", so that the
// build log points at the source line.
void AddAssemblerMessages(const std::string& text, bool failed, const std::string& fileName,
                          std::string& messages) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty()) {
            continue;
        }
        size_t textStart = 0;
        const int lineNumber = MessageLine(line, textStart);
        std::string body = line.substr(textStart);
        const bool warning = StartsWithWarning(body) || !failed;
        if (StartsWithWarning(body)) {
            body.erase(0, 7);
            body.erase(0, body.find_first_not_of(" :"));
        }
        messages += fileName;
        if (lineNumber > 0) {
            messages += ":" + std::to_string(lineNumber);
        }
        messages += std::string(warning ? ": warning: " : ": error: ") + body + "\n";
    }
}

} // namespace

bool AssembleShader(const std::string& source, const std::string& fileName,
                    std::vector<DWORD>& tokens, std::string& messages) {
    ID3DXBuffer* code = nullptr;
    ID3DXBuffer* errors = nullptr;
    const HRESULT result = D3DXAssembleShader(source.data(), static_cast<UINT>(source.size()),
                                              nullptr, nullptr, 0, &code, &errors);
    const bool failed = FAILED(result) || code == nullptr;
    if (errors != nullptr) {
        // The buffer's size bounds the text: the preprocessor's messages are
        // not always terminated.
        std::string text(static_cast<const char*>(errors->GetBufferPointer()),
                         errors->GetBufferSize());
        text.resize(std::strlen(text.c_str()));
        AddAssemblerMessages(text, failed, fileName, messages);
        errors->Release();
    }
    if (failed) {
        if (errors == nullptr) {
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
    const std::vector<DWORD> comment = BuildConstantTableComment(constants, version);
    if (comment.size() - 1 > (D3DSI_COMMENTSIZE_MASK >> D3DSI_COMMENTSIZE_SHIFT)) {
        messages += fileName + ": error: the constant table is too large for a shader comment\n";
        return false;
    }
    // D3DX looks for the table among the comments; right after the version
    // token is where compilers put it.
    tokens.insert(tokens.begin() + 1, comment.begin(), comment.end());
    return true;
}
