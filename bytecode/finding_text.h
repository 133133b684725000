#pragma once

#include <cstdint>
#include <string>

#include "bytecode/check_finding.h"

// The words of a finding for the one who wrote the shader, in shader
// assembly's terms: "instruction 53 (token 231): mov writes r18; vs_2_0 has
// 12 temporary registers (r0-r11)".
std::string DescribeFinding(const CheckFinding& finding);

// "vs_2_0", "ps_2_x": a version token as shader assembly names it.
std::string VersionText(std::uint32_t version);

// "r18", "oPos", "c4": a register as shader assembly names it in the version.
std::string RegisterText(std::uint8_t type, std::uint32_t number, std::uint32_t version);
