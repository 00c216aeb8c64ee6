#pragma once
// Seeded random damage for the settings parsers' robustness tests: bit flips, cuts,
// separators, quotes and brackets in odd places, huge lines, stray and multi-byte characters,
// byte-order marks.

#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <random>
#include <string>

#include "support/FuzzSeed.h"

namespace kestiva::test {

class Mutator {
public:
    explicit Mutator(uint32_t seed) : rng_(seed) {}

    std::size_t pick(std::size_t n) {
        return n == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_);
    }

    // One to four mutations of input; the result stays below maxSize bytes.
    std::string mutate(std::string text, std::size_t maxSize = 256 * 1024) {
        const std::size_t rounds = 1 + pick(4);
        for (std::size_t r = 0; r < rounds; ++r)
            mutateOnce(text);
        if (text.size() > maxSize)
            text.resize(maxSize);
        return text;
    }

private:
    void mutateOnce(std::string& text) {
        static const std::string kSpecial("\r\n,=[];\"'#Dd\\ \t\x1a\v\f/", 20);
        static const char* const kPieces[] = {"\xC3\xA9",
                                              "\xF0\x9F\x98\x80",
                                              "\x80",
                                              "\xF0\x9F",
                                              "\xFF\xFE",
                                              "\xEF\xBB\xBF",
                                              "" /* a NUL byte */,
                                              "\\r\\n",
                                              "\\t",
                                              "99999999999999",
                                              "[",
                                              "]",
                                              "=",
                                              ",,,,",
                                              "\r\n[DATA_SAMPLING_SETTING]\r\n",
                                              "\r\nSAMPLING=",
                                              "#FFFFFF",
                                              "D1000"};
        const std::size_t at = pick(text.size() + 1);
        switch (pick(11)) {
            case 0:  // flip one bit
                if (!text.empty())
                    text[pick(text.size())] ^= static_cast<char>(1u << pick(8));
                break;
            case 1:  // cut the file short
                text.resize(at);
                break;
            case 2:  // a separator, quote or bracket
                text.insert(at, 1, kSpecial[pick(kSpecial.size())]);
                break;
            case 3: {  // a huge line, sometimes shaped as a value
                std::string line(1000 + pick(40000), "x,=#9"[pick(5)]);
                if (pick(2) == 0)
                    line = "\nK=" + line + "\n";
                text.insert(at, line);
                break;
            }
            case 4:  // delete a stretch
                text.erase(at, pick(64));
                break;
            case 5: {  // repeat a stretch elsewhere
                const std::size_t from = pick(text.size() + 1);
                const std::string piece = text.substr(from, pick(200));
                text.insert(pick(text.size() + 1), piece);
                break;
            }
            case 6:  // any byte
                if (!text.empty())
                    text[pick(text.size())] = static_cast<char>(pick(256));
                break;
            case 7: {  // a multi-byte, stray or escape piece
                const std::size_t i = pick(std::size(kPieces));
                text.insert(at, i == 6 ? std::string("\0", 1) : std::string(kPieces[i]));
                break;
            }
            case 8:  // a line end in the middle of something
                text.insert(at, pick(2) ? "\r" : "\n");
                break;
            case 9:  // strip or swap line ends
                for (char& c : text) {
                    if (c == '\n' && pick(4) == 0)
                        c = '\r';
                }
                break;
            default:  // the whole file as UTF-16, as a Windows editor might save it
                if (pick(8) == 0) {
                    std::string wide = pick(2) ? "\xFF\xFE" : "\xFE\xFF";
                    const bool little = wide[0] == '\xFF';
                    for (char c : text) {
                        wide += little ? c : '\0';
                        wide += little ? '\0' : c;
                    }
                    text = wide;
                }
                break;
        }
    }

    std::mt19937 rng_;
};

}  // namespace kestiva::test
