// SPDX-License-Identifier: MIT
#pragma once
// Reed-Solomon error correction over GF(256), as the two-dimensional symbols use it: QR Code with
// the prime polynomial 0x11D and a generator whose roots are 2^0 .. 2^(n-1), Data Matrix with 0x12D
// and the roots 2^1 .. 2^n.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace varlen {

class TReedSolomon {
public:
    // The field of the prime polynomial (x^8 and below), as exponent and logarithm tables of the
    // element 2; the exponents run twice round so that a product needs no remainder.
    constexpr explicit TReedSolomon(unsigned prime) {
        unsigned x = 1;
        for (std::size_t i = 0; i < 255; ++i) {
            exp_[i] = exp_[i + 255] = static_cast<std::uint8_t>(x);
            log_[x] = static_cast<std::uint8_t>(i);
            x <<= 1;
            if (x & 0x100) x ^= prime;
        }
    }

    // The generator of n check codewords, the product of (x + 2^r) for r = first .. first + n - 1:
    // the coefficient of x^i at [i], the leading 1 left out.
    std::vector<std::uint8_t> Generator(int n, int first) const {
        std::vector<std::uint8_t> g(static_cast<std::size_t>(n) + 1, 0);
        g[0] = 1;
        for (int k = 0; k < n; ++k) {
            const std::uint8_t root = exp_[static_cast<std::size_t>(first + k)];
            for (std::size_t i = static_cast<std::size_t>(k) + 1; i >= 1; --i) g[i] = g[i - 1] ^ mul(g[i], root);
            g[0] = mul(g[0], root);
        }
        g.pop_back();
        return g;
    }

    // The check codewords of the data codewords data[0], data[stride], ... (`count` of them): the
    // remainder of their polynomial times x^n divided by the generator, highest power first, to
    // out[0], out[outStride], ...
    void Remainder(const std::uint8_t* data, std::size_t count, std::size_t stride, const std::vector<std::uint8_t>& generator,
                   std::uint8_t* out, std::size_t outStride) const {
        const std::size_t n = generator.size();
        std::array<std::uint8_t, 256> rest{};  // rest[j]: the coefficient of x^j
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint8_t feedback = data[i * stride] ^ rest[n - 1];
            for (std::size_t j = n - 1; j >= 1; --j) rest[j] = rest[j - 1] ^ mul(feedback, generator[j]);
            rest[0] = mul(feedback, generator[0]);
        }
        for (std::size_t j = 0; j < n; ++j) out[j * outStride] = rest[n - 1 - j];
    }

private:
    constexpr std::uint8_t mul(std::uint8_t a, std::uint8_t b) const {
        return a == 0 || b == 0 ? 0 : exp_[static_cast<std::size_t>(log_[a]) + log_[b]];
    }

    std::array<std::uint8_t, 510> exp_{};
    std::array<std::uint8_t, 256> log_{};
};

}  // namespace varlen
