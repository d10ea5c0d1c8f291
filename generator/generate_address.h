#pragma once

#include <string>

namespace hexlark {

class RandomSource;

// One random MAC address as display text, six upper-case hexadecimal octets
// joined by "-", for example 3A-07-C1-9E-42-B0. The source is reseeded before
// every octet. No bit is forced: about half the results are group addresses
// and about half are marked locally administered.
std::string GenerateAddress(RandomSource &random);

} // namespace hexlark
