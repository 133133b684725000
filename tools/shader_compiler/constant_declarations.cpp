#include "tools/shader_compiler/constant_declarations.h"

#include <cctype>
#include <cstdlib>
#include <sstream>

namespace {

const char* const directive = "@constant";

void AddMessage(std::string& messages, const std::string& fileName, int line, const char* kind,
                const std::string& text) {
    messages += fileName + ":" + std::to_string(line) + ": " + kind + ": " + text + "\n";
}

void AddError(std::string& errors, const std::string& fileName, int line, const std::string& text) {
    AddMessage(errors, fileName, line, "error", text);
}

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return "";
    }
    const size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// The text after "//" or ";" when the line is nothing but a comment.
bool CommentText(const std::string& line, std::string& comment) {
    const std::string text = Trimmed(line);
    if (text.compare(0, 2, "//") == 0) {
        comment = Trimmed(text.substr(2));
        return true;
    }
    if (text.compare(0, 1, ";") == 0) {
        comment = Trimmed(text.substr(1));
        return true;
    }
    return false;
}

bool IsIdentifier(const std::string& name) {
    if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0]))) {
        return false;
    }
    for (char c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') {
            return false;
        }
    }
    return true;
}

// A decimal number from first to last digit, nothing else.
bool ParseNumber(const std::string& text, UINT limit, UINT& value) {
    if (text.empty() || text.size() > 5) {
        return false;
    }
    value = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) {
            return false;
        }
        value = value * 10 + static_cast<UINT>(c - '0');
    }
    return value <= limit;
}

bool ParseRegister(const std::string& text, UINT& index) {
    return text.size() > 1 && text[0] == 'c' && ParseNumber(text.substr(1), 0xFFFF, index);
}

bool ParseClass(const std::string& text, D3DXPARAMETER_CLASS& parameterClass) {
    const struct {
        const char* name;
        D3DXPARAMETER_CLASS value;
    } classes[] = {{"scalar", D3DXPC_SCALAR},
                   {"vector", D3DXPC_VECTOR},
                   {"matrix_rows", D3DXPC_MATRIX_ROWS},
                   {"matrix_columns", D3DXPC_MATRIX_COLUMNS}};
    for (const auto& known : classes) {
        if (text == known.name) {
            parameterClass = known.value;
            return true;
        }
    }
    return false;
}

bool ParseDimension(const std::string& text, UINT& value) {
    return ParseNumber(text, 4, value) && value >= 1;
}

// "float", "floatN" or "floatRxC"; the type must also suit the class.
bool ParseType(const std::string& text, ConstantDeclaration& constant) {
    if (text.compare(0, 5, "float") != 0) {
        return false;
    }
    const std::string shape = text.substr(5);
    const size_t times = shape.find('x');
    switch (constant.parameterClass) {
    case D3DXPC_SCALAR:
        return shape.empty();
    case D3DXPC_VECTOR:
        return times == std::string::npos && ParseDimension(shape, constant.columns);
    default:
        return times != std::string::npos &&
               ParseDimension(shape.substr(0, times), constant.rows) &&
               ParseDimension(shape.substr(times + 1), constant.columns);
    }
}

bool ParseValues(const std::string& text, std::vector<float>& values) {
    std::string spaced = text;
    for (char& c : spaced) {
        if (c == ',') {
            c = ' ';
        }
    }
    std::istringstream words(spaced);
    std::string word;
    while (words >> word) {
        char* end = nullptr;
        const float value = std::strtof(word.c_str(), &end);
        if (*end != '\0') {
            return false;
        }
        values.push_back(value);
    }
    return !values.empty();
}

// One "@constant" line, already cut after the directive.
bool ParseDeclaration(const std::string& text, ConstantDeclaration& constant,
                      std::string& problem) {
    const size_t equals = text.find('=');
    std::istringstream words(text.substr(0, equals));
    std::string name, registerText, classText, typeText, extra;
    if (!(words >> name >> registerText >> classText >> typeText) || (words >> extra)) {
        problem = "expected '@constant NAME cINDEX CLASS TYPE [= VALUES]'";
        return false;
    }
    constant.name = name;
    if (!IsIdentifier(name)) {
        problem = "'" + name + "' is not a constant name";
    } else if (!ParseRegister(registerText, constant.registerIndex)) {
        problem = "'" + registerText + "' is not a float constant register such as c0";
    } else if (!ParseClass(classText, constant.parameterClass)) {
        problem =
            "unknown class '" + classText + "' (scalar, vector, matrix_rows or matrix_columns)";
    } else if (!ParseType(typeText, constant)) {
        problem = "type '" + typeText + "' does not fit class '" + classText + "'";
    } else if (equals != std::string::npos &&
               !ParseValues(text.substr(equals + 1), constant.defaultValue)) {
        problem = "the default value must be numbers separated by commas";
    } else if (!constant.defaultValue.empty() &&
               constant.defaultValue.size() != constant.rows * constant.columns) {
        problem = "the default value of a " + typeText + " needs " +
                  std::to_string(constant.rows * constant.columns) + " numbers, not " +
                  std::to_string(constant.defaultValue.size());
    }
    return problem.empty();
}

bool IsDeclared(const std::vector<ConstantDeclaration>& constants, const std::string& name) {
    for (const ConstantDeclaration& constant : constants) {
        if (constant.name == name) {
            return true;
        }
    }
    return false;
}

// Float constant registers that every device of the shader model offers.
UINT FloatRegisterLimit(DWORD version) {
    const DWORD major = (version >> 8) & 0xFF;
    if ((version >> 16) == 0xFFFE) {
        return major < 2 ? 96 : 256;
    }
    return major < 2 ? 8 : major == 2 ? 32 : 224;
}

} // namespace

UINT RegistersTaken(const ConstantDeclaration& constant) {
    return constant.parameterClass == D3DXPC_MATRIX_COLUMNS ? constant.columns : constant.rows;
}

bool ParseConstantDeclarations(const std::string& source, const std::string& fileName,
                               std::vector<ConstantDeclaration>& constants, std::string& errors) {
    const size_t errorsBefore = errors.size();
    std::istringstream lines(source);
    std::string line;
    for (int lineNumber = 1; std::getline(lines, line); ++lineNumber) {
        std::string comment;
        if (!CommentText(line, comment) || comment.empty() || comment[0] != '@') {
            continue;
        }
        const size_t length = std::string(directive).size();
        if (comment.compare(0, length, directive) != 0 ||
            (comment.size() > length &&
             !std::isspace(static_cast<unsigned char>(comment[length])))) {
            AddError(errors, fileName, lineNumber,
                     "unknown directive '" + comment.substr(0, comment.find_first_of(" \t")) +
                         "' (only @constant is known)");
            continue;
        }
        ConstantDeclaration constant;
        constant.line = lineNumber;
        std::string problem;
        if (!ParseDeclaration(comment.substr(length), constant, problem)) {
            AddError(errors, fileName, lineNumber, problem);
        } else if (IsDeclared(constants, constant.name)) {
            AddError(errors, fileName, lineNumber, "'" + constant.name + "' is declared twice");
        } else {
            constants.push_back(constant);
        }
    }
    return errors.size() == errorsBefore;
}

bool CheckConstantRegisters(const std::vector<ConstantDeclaration>& constants, DWORD version,
                            const std::string& fileName, std::string& errors) {
    const size_t errorsBefore = errors.size();
    const UINT limit = FloatRegisterLimit(version);
    for (size_t i = 0; i < constants.size(); ++i) {
        const ConstantDeclaration& constant = constants[i];
        const UINT end = constant.registerIndex + RegistersTaken(constant);
        if (end > limit) {
            AddError(errors, fileName, constant.line,
                     "'" + constant.name + "' needs registers up to c" + std::to_string(end - 1) +
                         " but this shader model has c0 to c" + std::to_string(limit - 1));
        }
        for (size_t j = 0; j < i; ++j) {
            const ConstantDeclaration& other = constants[j];
            if (constant.registerIndex < other.registerIndex + RegistersTaken(other) &&
                other.registerIndex < end) {
                AddError(errors, fileName, constant.line,
                         "'" + constant.name + "' shares registers with '" + other.name + "'");
            }
        }
    }
    return errors.size() == errorsBefore;
}

void WarnAboutUnrestoredDefaults(const std::vector<ConstantDeclaration>& constants, DWORD version,
                                 const std::string& fileName, std::string& messages) {
    const bool vertexShader = (version >> 16) == 0xFFFE;
    const std::string when = "the material gives no usable g_colorModifier or its first "
                             "component is -1";
    for (const ConstantDeclaration& constant : constants) {
        if (constant.defaultValue.empty() || (!vertexShader && constant.name == "g_colorModifier")) {
            continue;
        }
        const std::string text =
            vertexShader ? "the default of '" + constant.name +
                               "' never applies: the program restores declared defaults only "
                               "in the fragment shader, when " + when
                         : "the default of '" + constant.name + "' applies only when " + when +
                               ": only then does the program restore declared defaults";
        AddMessage(messages, fileName, constant.line, "warning", text);
    }
}
