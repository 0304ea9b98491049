// The procedures of the MD5 digest (RFC 1321) behind zurva::MD5. The shift
// procedures and the hex output read the public tables of the instance
// (m_lOnBits[i] = 2^(i+1) - 1, m_l2Power[i] = 2^i), which MD5 fills afresh
// before every digest.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zurvafun::md5 {

// The two public tables of class zurva.
struct Tables {
  const std::vector<long>& onBits;
  const std::vector<long>& twoPower;
};

// The contents the tables are filled with.
std::vector<long> onBitsTable();
std::vector<long> twoPowerTable();

// The digest's words a, b, c, d of `text` (its bytes in the server code page).
struct State {
  std::uint32_t a, b, c, d;
};
State digest(const Tables& t, const std::string& text);

// The bytes of the text, character by character, in the server code page.
std::string str2bin(const std::string& text);
// The padded message as 32-bit words, 16 per block.
std::vector<std::uint32_t> ConvertToWordArray(const Tables& t, const std::string& bytes);

std::uint32_t md5_F(std::uint32_t x, std::uint32_t y, std::uint32_t z);
std::uint32_t md5_G(std::uint32_t x, std::uint32_t y, std::uint32_t z);
std::uint32_t md5_H(std::uint32_t x, std::uint32_t y, std::uint32_t z);
std::uint32_t md5_I(std::uint32_t x, std::uint32_t y, std::uint32_t z);
void md5_FF(const Tables& t, std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
            std::uint32_t x, int s, std::uint32_t ac);
void md5_GG(const Tables& t, std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
            std::uint32_t x, int s, std::uint32_t ac);
void md5_HH(const Tables& t, std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
            std::uint32_t x, int s, std::uint32_t ac);
void md5_II(const Tables& t, std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
            std::uint32_t x, int s, std::uint32_t ac);
std::uint32_t AddUnsigned(std::uint32_t x, std::uint32_t y);
std::uint32_t RotateLeft(const Tables& t, std::uint32_t value, int count);
// Shifts by 0..31 through the tables; a count outside that range is logged
// (overflow) and gives 0.
std::uint32_t LShift(const Tables& t, std::uint32_t value, int count);
std::uint32_t RShift(const Tables& t, std::uint32_t value, int count);
// Eight hex digits (upper case), least significant byte first.
std::string WordToHex(const Tables& t, std::uint32_t word);

}  // namespace zurvafun::md5
