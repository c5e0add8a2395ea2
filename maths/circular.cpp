// circular.cpp -- Sin, Cos, Tan, ATan and ATan2, correctly rounded, the same bits on every build
// (portable_maths.hpp).
//
// The argument of Sin, Cos and Tan is reduced to r = x - k pi/2, |r| <= pi/4: below 2^20 with
// pi/2 in three parts (Cody and Waite), the first two short enough that their products with k
// are exact, the third a double-double; beyond, exactly, from the bits of 2/pi (Payne and
// Hanek). Then r = j/64 + d, |d| <= 1/128, and sin r, cos r come from the table of sin and cos
// of j/64 and short series in d. ATan and ATan2 take the angle of a ratio a / b <= 1 (pi/2 less
// that of b / a beyond), c = j/64 nearest to it and u = (a - c b) / (b + a c), |u| <= 1/128:
// atan(a / b) = atan c + atan u.
// Everything is computed in double-double (a value as the unevaluated sum of two doubles, about
// 104 bits) to a relative error near 2^-100, and rounded once at the end, so the result is the
// exact value's nearest double unless that value lies within about 2^-47 of an ulp of a tie
// (none of the ten million arguments a function the maths test draws does: all their results
// were checked against 200-bit arithmetic).
//
// Every constant is the double or double-double nearest to its exact value, computed with
// 2000-bit arithmetic.
#include <cstdint>
#include <cstring>

#include "portable_maths.hpp"

namespace portable {

namespace {

// ---- double-double arithmetic (Dekker; Joldes, Muller and Popescu, "Tight and rigorous error
// bounds for basic building blocks of double-word arithmetic", 2017), without fused multiply-add.

struct DD {
    double hi, lo;
};

DD Neg(DD a) { return {-a.hi, -a.lo}; }

DD TwoSum(double a, double b) {
    const double s = a + b, bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

DD FastTwoSum(double a, double b) {  // |a| >= |b| (or a zero)
    const double s = a + b;
    return {s, b - (s - a)};
}

DD TwoProd(double a, double b) {  // |a|, |b| below 2^995
    const double p = a * b;
    const double ca = 134217729.0 * a, ah = ca - (ca - a), al = a - ah;
    const double cb = 134217729.0 * b, bh = cb - (cb - b), bl = b - bh;
    return {p, ((ah * bh - p) + ah * bl + al * bh) + al * bl};
}

DD Add(DD a, DD b) {  // relative error at most 3 * 2^-106, cancellation or not
    const DD s = TwoSum(a.hi, b.hi), t = TwoSum(a.lo, b.lo);
    const DD v = FastTwoSum(s.hi, s.lo + t.hi);
    return FastTwoSum(v.hi, t.lo + v.lo);
}

DD Add(DD a, double b) {
    const DD s = TwoSum(a.hi, b);
    return FastTwoSum(s.hi, a.lo + s.lo);
}

DD Mul(DD a, double b) {
    const DD c = TwoProd(a.hi, b);
    const DD t = FastTwoSum(c.hi, a.lo * b);
    return FastTwoSum(t.hi, t.lo + c.lo);
}

DD Mul(DD a, DD b) {
    const DD c = TwoProd(a.hi, b.hi);
    return FastTwoSum(c.hi, c.lo + (a.hi * b.lo + a.lo * b.hi));
}

DD Div(DD a, DD b) {  // three quotient digits
    const double q1 = a.hi / b.hi;
    DD r = Add(a, Neg(Mul(b, q1)));
    const double q2 = r.hi / b.hi;
    r = Add(r, Neg(Mul(b, q2)));
    const double q3 = r.hi / b.hi;
    return Add(FastTwoSum(q1, q2), q3);
}

// The nearest whole number to v, |v| < 2^51, in round to nearest.
double Nearest(double v) { return (v + 0x1.8p52) - 0x1.8p52; }

uint64_t Bits(double v) {
    uint64_t u;
    std::memcpy(&u, &v, sizeof u);
    return u;
}

double FromBits(uint64_t u) {
    double v;
    std::memcpy(&v, &u, sizeof v);
    return v;
}

double Pow2(int e) { return FromBits(uint64_t(e + 1023) << 52); }  // -1022 <= e <= 1023

double Abs(double v) { return FromBits(Bits(v) & ~(uint64_t(1) << 63)); }

bool IsNegative(double v) { return (Bits(v) >> 63) != 0; }

int Exponent(double v) {  // of v's leading bit, v finite and not zero, subnormal or not
    const uint64_t b = Bits(v) & ~(uint64_t(1) << 63);
    return b >> 52 != 0 ? int(b >> 52) - 1023 : 63 - __builtin_clzll(b) - 1074;
}

// a + b where |a| is below 2^-7 |b|: nothing cancels.
DD AddSmaller(DD a, DD b) {
    const DD s = FastTwoSum(b.hi, a.hi);
    return FastTwoSum(s.hi, s.lo + (a.lo + b.lo));
}

// Evaluates c[0] + c[1] z + ... + c[n-1] z^(n-1) for z <= 2^-14 and falling coefficients: the
// terms from c[inDouble] on are so small that plain doubles carry them, the others are taken
// in double-double.
DD Series(DD z, const DD* c, int n, int inDouble) {
    double tail = c[n - 1].hi;
    for (int i = n - 2; i >= inDouble; --i) tail = tail * z.hi + c[i].hi;
    DD p = AddSmaller(Mul(z, tail), c[inDouble - 1]);
    for (int i = inDouble - 2; i >= 0; --i) p = AddSmaller(Mul(p, z), c[i]);
    return p;
}

constexpr double kInfinity = __builtin_inf();
constexpr DD kPiOver2{0x1.921fb54442d18p+0, 0x1.1a62633145c07p-54};
constexpr DD kPi{0x1.921fb54442d18p+1, 0x1.1a62633145c07p-53};
constexpr double kThreePiOver4 = 0x1.2d97c7f3321d2p+1;
constexpr double kTwoOverPi = 0x1.45f306dc9c883p-1;
// pi/2 = kPart1 + kPart2 + kPart3 to about 2^-176: the first two have 33 bits, so their
// products with a quadrant count below 2^20 are exact.
constexpr double kPart1 = 0x1.921fb544p+0, kPart2 = 0x1.0b4611a6p-34;
constexpr DD kPart3{0x1.3198a2e037073p-69, 0x1.129024e088a68p-123};

// sin(j/64) and cos(j/64), j = 0..52.
constexpr DD kSinCos[53][2] = {
    {{0x0p+0, 0x0p+0}, {0x1p+0, 0x0p+0}},
    {{0x1.fffaaaaeeeed5p-7, -0x1.2ab639a9f0776p-63}, {0x1.fff000155549fp-1, 0x1.28a28a03a5ef3p-55}},
    {{0x1.ffeaaaeeee86fp-6, -0x1.cd406fb224ae2p-60}, {0x1.ffc00155527d3p-1, -0x1.3b54492d89b5bp-55}},
    {{0x1.7fdc01032fba9p-5, -0x1.599bdf46e997ap-59}, {0x1.ff7006bfdf99fp-1, -0x1.8b3b560648d5fp-56}},
    {{0x1.ffaaaeeed4edbp-5, -0x1.2d16d32684b69p-59}, {0x1.ff0015549f4d3p-1, 0x1.328387b99426fp-55}},
    {{0x1.3facb12d1755bp-4, -0x1.921915299468bp-58}, {0x1.fe7034129ef6fp-1, -0x1.cbf4337c96f97p-57}},
    {{0x1.7f701032550e4p-4, 0x1.afc2d1800501ap-60}, {0x1.fdc06bf7e6b9bp-1, 0x1.31902b535f8dbp-55}},
    {{0x1.bf1b78568391dp-4, 0x1.e91841dea4cc8p-58}, {0x1.fcf0c800e99b1p-1, 0x1.ea3d786d186acp-57}},
    {{0x1.feaaeee86ee36p-4, -0x1.afcb2bcc6f03bp-59}, {0x1.fc015527d5bd3p-1, 0x1.b68f35094efb8p-55}},
    {{0x1.1f0d3d7afceafp-3, -0x1.6ef95099769a5p-57}, {0x1.faf22263c4bd3p-1, -0x1.52ace133a2769p-58}},
    {{0x1.3eb312c5d66cbp-3, 0x1.47d666b66cb91p-57}, {0x1.f9c340a7cc428p-1, 0x1.c5b6b063b7462p-55}},
    {{0x1.5e44fcfa126f3p-3, -0x1.6f443063f89b6p-57}, {0x1.f874c2e1eecf6p-1, -0x1.c6514e1332b16p-55}},
    {{0x1.7dc102fbaf2b5p-3, 0x1.5ab50e23c97c3p-59}, {0x1.f706bdf9ece1cp-1, -0x1.698c80c36dcb4p-55}},
    {{0x1.9d252d0cec312p-3, 0x1.9c43d80b1137dp-58}, {0x1.f57948cff6797p-1, 0x1.e3a0d3e03b1d4p-57}},
    {{0x1.bc6f84edc6199p-3, 0x1.9c1a56a7b0cabp-57}, {0x1.f3cc7c3b3d16ep-1, -0x1.21a3ad28a3494p-57}},
    {{0x1.db9e15fb5a5dp-3, -0x1.32e20d6cc6fc2p-57}, {0x1.f20073086649fp-1, 0x1.b940416c1984bp-56}},
    {{0x1.faaeed4f31577p-3, -0x1.15d88508e32b8p-57}, {0x1.f01549f7deea1p-1, 0x1.d3c1e99e5cafdp-55}},
    {{0x1.0cd00cef36436p-2, -0x1.9fb0a0c93e2b4p-56}, {0x1.ee0b1fbc0f11cp-1, -0x1.bfd2380bbc3b1p-59}},
    {{0x1.1c37d64c6b876p-2, 0x1.46076fe0dcff4p-56}, {0x1.ebe214f76efa8p-1, -0x1.02f9f12ba543ep-55}},
    {{0x1.2b8ddc43eb49fp-2, 0x1.1553899f2d807p-57}, {0x1.e99a4c3a7cd83p-1, -0x1.2264b1bc53ce8p-55}},
    {{0x1.3ad129769d3d8p-2, 0x1.03d550487839ap-63}, {0x1.e733ea0193d4p-1, -0x1.6428b3546ce13p-55}},
    {{0x1.4a00c9b0f3d2p-2, 0x1.823ba6bb08eadp-56}, {0x1.e4af14b2a449cp-1, -0x1.68ca02e8a6833p-55}},
    {{0x1.591bc9fa2f597p-2, 0x1.7c74bac3fe0cbp-57}, {0x1.e20bf49acd6c1p-1, -0x1.660aec7ef636bp-58}},
    {{0x1.682138a38d7f7p-2, -0x1.d889202444aadp-56}, {0x1.df4ab3ebd875ep-1, -0x1.e2d8a7e6736c4p-55}},
    {{0x1.7710255764214p-2, -0x1.6ead7314bb6cep-57}, {0x1.dc6b7eb995912p-1, 0x1.4b364776dcd35p-58}},
    {{0x1.85e7a12826949p-2, 0x1.8a40e9b5facep-56}, {0x1.d96e82f71a9dcp-1, 0x1.ff61bd5d2039dp-55}},
    {{0x1.94a6be9f546c5p-2, -0x1.69ce13e683f58p-56}, {0x1.d653f073e404p-1, -0x1.76236434bec37p-55}},
    {{0x1.a34c91cc50ccap-2, -0x1.a310e3b50cecdp-58}, {0x1.d31bf8d8d7c06p-1, 0x1.e60dd3089cbddp-56}},
    {{0x1.b1d8305321617p-2, -0x1.ae242cb99f519p-56}, {0x1.cfc6cfa52ad9fp-1, 0x1.8b5b5508f2a0dp-55}},
    {{0x1.c048b17b140a3p-2, 0x1.19fe6757e9fa7p-57}, {0x1.cc54aa2b2972ep-1, 0x1.4ee162ba83a98p-57}},
    {{0x1.ce9d2e3d4a51fp-2, -0x1.2fc8a12dae298p-57}, {0x1.c8c5bf8ce1a84p-1, 0x1.ab3d1a1590123p-56}},
    {{0x1.dcd4c15329c9ap-2, 0x1.0d4c6e171fd9ap-56}, {0x1.c51a48b8b175ep-1, -0x1.1bbb43b9aa88p-57}},
    {{0x1.eaee8744b05fp-2, -0x1.789b43c9b027dp-58}, {0x1.c1528065b7d5p-1, -0x1.892111312e828p-55}},
    {{0x1.f8e99e76abc97p-2, 0x1.9d950af2d00a3p-58}, {0x1.bd6ea310294f5p-1, 0x1.31bbcc88c109dp-56}},
    {{0x1.0362939c69955p-1, -0x1.2d8cd78397b01p-55}, {0x1.b96eeef58840ep-1, 0x1.45a3cc78fadep-58}},
    {{0x1.0a4021e9e1001p-1, -0x1.6f643a13914f6p-55}, {0x1.b553a410c104ep-1, 0x1.8ff7947027a15p-58}},
    {{0x1.110d0c4b69c3bp-1, 0x1.d918998809981p-55}, {0x1.b11d04162a4c6p-1, 0x1.1dd561efbc0c2p-56}},
    {{0x1.17c8e5f2eedbp-1, 0x1.35e57102e2488p-57}, {0x1.accb526f69de5p-1, 0x1.8fb6a8dd6b6ccp-55}},
    {{0x1.1e7343236574cp-1, 0x1.22a3fa4f41d5ap-56}, {0x1.a85ed4373e02dp-1, 0x1.9be06385ec792p-57}},
    {{0x1.250bb93788bbbp-1, 0x1.ea3d02457bccep-56}, {0x1.a3d7d0352bdcfp-1, -0x1.68dbaeca19669p-55}},
    {{0x1.2b91dea88421ep-1, -0x1.fa371db216abp-55}, {0x1.9f368ed912f85p-1, -0x1.1d200c5791606p-55}},
    {{0x1.32054b148bc4fp-1, 0x1.f6b42095a135bp-55}, {0x1.9a7b5a36a6514p-1, 0x1.722cfcc9fa7a9p-55}},
    {{0x1.386597456282bp-1, -0x1.10fada93b07a8p-56}, {0x1.95a67e00cb1fdp-1, -0x1.0befda21f862dp-55}},
    {{0x1.3eb25d36cd53ap-1, -0x1.be570e1570fcp-58}, {0x1.90b84784ddaf7p-1, -0x1.0feb10ab93b87p-56}},
    {{0x1.44eb381cf386bp-1, -0x1.3ed6c1e6a5505p-55}, {0x1.8bb105a5dc9p-1, 0x1.863e03e9474c1p-55}},
    {{0x1.4b0fc46aab761p-1, 0x1.0da05738cc59cp-61}, {0x1.869108d77a6c6p-1, 0x1.338ffe2bfe9ddp-56}},
    {{0x1.511f9fd7b351cp-1, -0x1.5c0e861c48831p-55}, {0x1.8158a31916d5dp-1, -0x1.de8b90b8228dep-57}},
    {{0x1.571a6966d59b3p-1, 0x1.c843b4d0fb197p-58}, {0x1.7c0827f09e54fp-1, -0x1.c73d6d72aee68p-57}},
    {{0x1.5cffc16bf8f0dp-1, 0x1.96cb370eb578ap-55}, {0x1.769fec655211fp-1, -0x1.827d5cf8c68c5p-57}},
    {{0x1.62cf49921ac79p-1, -0x1.edd9855b6241ap-55}, {0x1.712046fa77678p-1, 0x1.425b0a5029c81p-55}},
    {{0x1.6888a4e134b2fp-1, -0x1.6b7d37644d5e6p-55}, {0x1.6b898fa9efb5dp-1, 0x1.15ac786ccf4b2p-56}},
    {{0x1.6e2b77c40bde1p-1, -0x1.0e729857fad53p-56}, {0x1.65dc1fdeb8cbap-1, -0x1.97c1b47337c77p-58}},
    {{0x1.73b7680dea578p-1, -0x1.2248306dc12a2p-56}, {0x1.6018526f563dfp-1, 0x1.46ca5e0e432dp-55}},
};

// atan(j/64), j = 0..64.
constexpr DD kATan[65] = {
    {0x0p+0, 0x0p+0},
    {0x1.fff555bbb729bp-7, -0x1.220c39d4dff5p-61},
    {0x1.ffd55bba97625p-6, -0x1.5ec431444912cp-60},
    {0x1.7fb818430da2ap-5, -0x1.86ef8f794f105p-63},
    {0x1.ff55bb72cfdeap-5, -0x1.c934d86d23f1dp-60},
    {0x1.3f59f0e7c559dp-4, 0x1.ac4ce285df847p-58},
    {0x1.7ee182602f10fp-4, -0x1.cfb654c0c3d98p-58},
    {0x1.be39ebe6f07c3p-4, 0x1.f7b8f29a05987p-58},
    {0x1.fd5ba9aac2f6ep-4, -0x1.cd37686760c17p-59},
    {0x1.1e1fafb043727p-3, -0x1.b485914dacf8cp-59},
    {0x1.3d6eee8c6626cp-3, 0x1.61a3b0ce9281bp-57},
    {0x1.5c9811e3ec26ap-3, -0x1.054ab2c010f3dp-58},
    {0x1.7b97b4bce5b02p-3, 0x1.347b0b4f881cap-58},
    {0x1.9a6a8e96c8626p-3, 0x1.cf601e7b4348ep-59},
    {0x1.b90d7529260a2p-3, 0x1.17b10d2e0e5abp-61},
    {0x1.d77d5df205736p-3, 0x1.c648d1534597ep-57},
    {0x1.f5b75f92c80ddp-3, 0x1.8ab6e3cf7afbdp-57},
    {0x1.09dc597d86362p-2, 0x1.62e47390cb865p-56},
    {0x1.18bf5a30bf178p-2, 0x1.30ca4748b1bf9p-57},
    {0x1.278372057ef46p-2, -0x1.077cdd36dfc81p-56},
    {0x1.362773707ebccp-2, -0x1.963a544b672d8p-57},
    {0x1.44aa436c2af0ap-2, -0x1.5d5e43c55b3bap-56},
    {0x1.530ad9951cd4ap-2, -0x1.2566480884082p-57},
    {0x1.614840309cfe2p-2, -0x1.a725715711fp-56},
    {0x1.6f61941e4def1p-2, -0x1.c63aae6f6e918p-56},
    {0x1.7d5604b63b3f7p-2, 0x1.69c885c2b249ap-56},
    {0x1.8b24d394a1b25p-2, 0x1.b6d0ba3748fa8p-56},
    {0x1.98cd5454d6b18p-2, 0x1.9e6c988fd0a77p-56},
    {0x1.a64eec3cc23fdp-2, -0x1.24dec1b50b7ffp-56},
    {0x1.b3a911da65c6cp-2, 0x1.ae187b1ca504p-56},
    {0x1.c0db4c94ec9fp-2, -0x1.cc1ce70934c34p-56},
    {0x1.cde53432c1351p-2, -0x1.a2cfa4418f1adp-56},
    {0x1.dac670561bb4fp-2, 0x1.a2b7f222f65e2p-56},
    {0x1.e77eb7f175a34p-2, 0x1.0e53dc1bf3435p-56},
    {0x1.f40dd0b541418p-2, -0x1.a3992dc382a23p-57},
    {0x1.0039c73c1a40cp-1, -0x1.b32c949c9d593p-55},
    {0x1.0657e94db30dp-1, -0x1.d5b495f6349e6p-56},
    {0x1.0c6145b5b43dap-1, 0x1.974fa13b5404fp-58},
    {0x1.1255d9bfbd2a9p-1, -0x1.2bdaee1c0ee35p-58},
    {0x1.1835a88be7c13p-1, 0x1.c621cec00c301p-55},
    {0x1.1e00babdefeb4p-1, -0x1.928df287a668fp-58},
    {0x1.23b71e2cc9e6ap-1, 0x1.c421c9f38224ep-57},
    {0x1.2958e59308e31p-1, -0x1.09e73b0c6c087p-56},
    {0x1.2ee628406cbcap-1, 0x1.c5d5e9ff0cf8dp-55},
    {0x1.345f01cce37bbp-1, 0x1.1021137c71102p-55},
    {0x1.39c391cd4171ap-1, -0x1.2304331d8bf46p-55},
    {0x1.3f13fb89e96f4p-1, 0x1.ecf8b492644fp-56},
    {0x1.445065b795b56p-1, -0x1.f76d0163f79c8p-56},
    {0x1.4978fa3269ee1p-1, 0x1.2419a87f2a458p-56},
    {0x1.4e8de5bb6ec04p-1, 0x1.4a33dbeb3796cp-55},
    {0x1.538f57b89061fp-1, -0x1.1bb74abda520cp-55},
    {0x1.587d81f732fbbp-1, -0x1.5e5c9d8c5a95p-56},
    {0x1.5d58987169b18p-1, 0x1.0028e4bc5e7cap-57},
    {0x1.6220d115d7b8ep-1, -0x1.2b785350ee8c1p-57},
    {0x1.66d663923e087p-1, -0x1.6ea6febe8bbbap-56},
    {0x1.6b798920b3d99p-1, -0x1.a80386188c50ep-55},
    {0x1.700a7c5784634p-1, -0x1.8c34d25aadef6p-56},
    {0x1.748978fba8e0fp-1, 0x1.7b2a6165884a1p-59},
    {0x1.78f6bbd5d315ep-1, 0x1.406a08980374p-55},
    {0x1.7d528289fa093p-1, 0x1.560821e2f3aa9p-55},
    {0x1.819d0b7158a4dp-1, -0x1.bf76229d3b917p-56},
    {0x1.85d69576cc2c5p-1, 0x1.6b66e7fc8b8c3p-57},
    {0x1.89ff5ff57f1f8p-1, -0x1.55b9a5e177a1bp-55},
    {0x1.8e17aa99cc05ep-1, -0x1.ec182ab042f61p-56},
    {0x1.921fb54442d18p-1, 0x1.1a62633145c07p-55},
};

// The series of sin d / d and cos d in z = d^2, and of atan u / u in z = u^2, for |d|, |u| <= 1/128.
constexpr DD kSinSeries[] = {{1, 0},
                             {-0x1.5555555555555p-3, -0x1.5555555555555p-57},
                             {0x1.1111111111111p-7, 0x1.1111111111111p-63},
                             {-0x1.a01a01a01a01ap-13, -0x1.a01a01a01a01ap-73},
                             {0x1.71de3a556c734p-19, -0x1.c154f8ddc6cp-73},
                             {-0x1.ae64567f544e4p-26, 0x1.c062e06d1f209p-80},
                             {0x1.6124613a86d09p-33, 0x1.f28e0cc748ebep-87}};
constexpr DD kCosSeries[] = {{1, 0},
                             {-0x1p-1, 0},
                             {0x1.5555555555555p-5, 0x1.5555555555555p-59},
                             {-0x1.6c16c16c16c17p-10, 0x1.f49f49f49f49fp-65},
                             {0x1.a01a01a01a01ap-16, 0x1.a01a01a01a01ap-76},
                             {-0x1.27e4fb7789f5cp-22, -0x1.cbbc05b4fa99ap-76},
                             {0x1.1eed8eff8d898p-29, -0x1.2aec959e14c06p-83}};
constexpr DD kATanSeries[] = {{1, 0},
                              {-0x1.5555555555555p-2, -0x1.5555555555555p-56},
                              {0x1.999999999999ap-3, -0x1.999999999999ap-57},
                              {-0x1.2492492492492p-3, -0x1.2492492492492p-57},
                              {0x1.c71c71c71c71cp-4, 0x1.c71c71c71c71cp-58},
                              {-0x1.745d1745d1746p-4, 0x1.745d1745d1746p-59},
                              {0x1.3b13b13b13b14p-4, -0x1.3b13b13b13b14p-58},
                              {-0x1.1111111111111p-4, -0x1.1111111111111p-60},
                              {0x1.e1e1e1e1e1e1ep-5, 0x1.e1e1e1e1e1e1ep-61}};

// The bits of 2/pi after the point, 64 to a word, most significant first (enough for any double).
constexpr uint64_t kTwoOverPiBits[] = {
    0xa2f9836e4e441529ull, 0xfc2757d1f534ddc0ull, 0xdb6295993c439041ull, 0xfe5163abdebbc561ull,
    0xb7246e3a424dd2e0ull, 0x06492eea09d1921cull, 0xfe1deb1cb129a73eull, 0xe88235f52ebb4484ull,
    0xe99c7026b45f7e41ull, 0x3991d639835339f4ull, 0x9c845f8bbdf9283bull, 0x1ff897ffde05980full,
    0xef2f118b5a0a6d1full, 0x6d367ecf27cb09b7ull, 0x4f463f669e5fea2dull, 0x7527bac7ebe5f17bull,
    0x3d0739f78a5292eaull, 0x6bfb5fb11f8d5d08ull, 0x56033046fc7b6babull, 0xf0cfbc209af4361dull,
    0xa9e391615ee61b08ull, 0x6599855f14a06840ull, 0x8dffd8804d732731ull, 0x06061556ca73a8c9ull,
};

// 64 bits of 2/pi from bit i on (bit i weighs 2^-i; those before bit 1 are zeros), i >= -63.
uint64_t TwoOverPiFrom(int i) {
    if (i < 1) return TwoOverPiFrom(1) >> (1 - i);
    const int word = (i - 1) / 64, shift = (i - 1) % 64;
    const uint64_t high = kTwoOverPiBits[word] << shift;
    return shift == 0 ? high : high | (kTwoOverPiBits[word + 1] >> (64 - shift));
}

// x = k pi/2 + r exactly (to about 2^-128 of r) for x >= 2^20: with x = m 2^s, m a 53-bit
// whole number, x (2/pi) mod 4 takes the 256 bits of 2/pi from bit s - 1 on (earlier bits give
// multiples of 4; later ones less than 2^-200). Returns k mod 4.
int ReduceHuge(double x, DD& r) {
    const uint64_t bits = Bits(x);
    const uint64_t m = (bits & ((uint64_t(1) << 52) - 1)) | (uint64_t(1) << 52);
    const int s = int(bits >> 52) - 1075;
    uint64_t w[4];  // m times those bits, mod 2^256: 2 bits of quadrant, 254 of its fraction
    unsigned __int128 carry = 0;
    for (int i = 3; i >= 0; --i) {
        const unsigned __int128 p = (unsigned __int128)m * TwoOverPiFrom(s - 1 + 64 * i) + carry;
        w[i] = uint64_t(p);
        carry = p >> 64;
    }
    int k = int(w[0] >> 62);
    // The fraction as a signed number of 2^-256 quadrants, in -1/2..1/2 (the nearest k).
    for (int i = 0; i < 4; ++i) w[i] = (w[i] << 2) | (i < 3 ? w[i + 1] >> 62 : 0);
    const bool negative = (w[0] >> 63) != 0;
    if (negative) {
        ++k;
        for (int i = 3, borrow = 1; i >= 0; --i) {  // its magnitude: two's complement
            w[i] = ~w[i] + uint64_t(borrow);
            borrow = borrow && w[i] == 0;
        }
    }
    int lead = 0;  // leading zero bits
    while (lead < 192 && w[lead / 64] == 0) lead += 64;
    if (lead == 192 && w[3] == 0) {
        r = {0, 0};
        return k & 3;
    }
    const uint64_t top = w[lead / 64], next = lead / 64 < 3 ? w[lead / 64 + 1] : 0,
                   after = lead / 64 < 2 ? w[lead / 64 + 2] : 0;
    const int z = __builtin_clzll(top);
    const uint64_t a = z == 0 ? top : (top << z) | (next >> (64 - z)),
                   b = z == 0 ? next : (next << z) | (after >> (64 - z));
    lead += z;
    // The 128 leading bits as 53 + 53 + 22, each exact in a double.
    const DD f =
        Add(FastTwoSum(double(a >> 11) * 0x1p-53, double(((a & 0x7FF) << 42) | (b >> 22)) * 0x1p-106),
            double(b & 0x3FFFFF) * 0x1p-128);
    r = Mul(Mul(f, kPiOver2), Pow2(-lead));
    if (negative) r = Neg(r);
    return k & 3;
}

// x = k pi/2 + r, |r| <= pi/4 (a hair beyond at most), for x > pi/4 finite. Returns k mod 4.
int Reduce(double x, DD& r) {
    if (x >= 0x1p20) return ReduceHuge(x, r);
    const double k = Nearest(x * kTwoOverPi);
    const double a = x - k * kPart1;  // exact: k * kPart1 is, and it lies within a factor 2 of x
    r = Add(TwoSum(a, -(k * kPart2)), Neg(Mul(kPart3, k)));
    return int(k) & 3;
}

// sin r and cos r for |r| <= 52.5/64 (only the one asked for when the other is null).
void SinCos(DD r, DD* s, DD* c) {
    const double j = Nearest(r.hi * 64);
    const DD d = TwoSum(r.hi - j / 64, r.lo);  // the difference is exact
    const DD z = Mul(d, d);
    const DD sd = Mul(Series(z, kSinSeries, 7, 3), d), cd = Series(z, kCosSeries, 7, 4);
    const int n = int(Abs(j));
    const DD sj = j < 0 ? Neg(kSinCos[n][0]) : kSinCos[n][0], cj = kSinCos[n][1];
    if (s != nullptr) *s = Add(Mul(sj, cd), Mul(cj, sd));
    if (c != nullptr) *c = Add(Mul(cj, cd), Neg(Mul(sj, sd)));
}

// The quadrant k (mod 4) and r of |x| = k pi/2 + r, for |x| finite.
int Quadrant(double ax, DD& r) {
    r = {ax, 0};
    return ax <= 0x1.921fb54442d18p-1 ? 0 : Reduce(ax, r);
}

double Round(DD v) { return v.hi + v.lo; }

// atan(a / b) for 0 <= a <= b, b in 2^-61..2^995: with c = j/64 nearest to a / b,
// u = (a - c b) / (b + a c), |u| <= 1/128, and atan(a / b) = atan c + atan u.
DD ATanRatio(double a, double b) {
    const double j = Nearest(a / b * 64), c = j / 64;
    const DD u = Div(Add(DD{a, 0}, Neg(TwoProd(c, b))), Add(TwoProd(a, c), b));
    return Add(kATan[int(j)], Mul(Series(Mul(u, u), kATanSeries, 9, 4), u));
}

}  // namespace

double Sin(double x) {
    const double ax = Abs(x);
    if (!(ax < kInfinity)) return x - x;  // NaN stays NaN, an infinity makes one
    if (ax < 0x1p-26) return x;           // sin x - x is below half an ulp of x
    DD r, v;
    const int k = Quadrant(ax, r);
    if ((k & 1) == 0)
        SinCos(r, &v, nullptr);
    else
        SinCos(r, nullptr, &v);
    const double sine = Round(k < 2 ? v : Neg(v));
    return IsNegative(x) ? -sine : sine;
}

double Cos(double x) {
    const double ax = Abs(x);
    if (!(ax < kInfinity)) return x - x;
    if (ax < 0x1p-27) return 1;  // 1 - cos x is below half an ulp of 1
    DD r, v;
    const int k = Quadrant(ax, r);
    if ((k & 1) == 0)
        SinCos(r, nullptr, &v);
    else
        SinCos(r, &v, nullptr);
    return Round(k == 0 || k == 3 ? v : Neg(v));
}

double Tan(double x) {
    const double ax = Abs(x);
    if (!(ax < kInfinity)) return x - x;
    if (ax < 0x1p-27) return x;  // tan x - x is below half an ulp of x
    DD r, s, c;
    const int k = Quadrant(ax, r);
    SinCos(r, &s, &c);
    const double v = Round((k & 1) == 0 ? Div(s, c) : Neg(Div(c, s)));
    return IsNegative(x) ? -v : v;
}

double ATan(double x) {
    const double ax = Abs(x);
    if (ax != ax) return x + x;
    if (ax < 0x1p-27) return x;  // x - atan x is below half an ulp of x
    double v;
    if (ax >= 0x1p54)  // pi/2 - 1/x is nearest to pi/2's nearest double (infinity included)
        v = kPiOver2.hi;
    else if (ax <= 1)
        v = Round(ATanRatio(ax, 1));
    else
        v = Round(Add(kPiOver2, Neg(ATanRatio(1, ax))));
    return IsNegative(x) ? -v : v;
}

double ATan2(double y, double x) {
    if (x != x || y != y) return x + y;
    const double ax = Abs(x), ay = Abs(y);
    const bool left = IsNegative(x);  // -0 is on the left, as C has it
    double v;
    if (ay == 0)
        v = left ? kPi.hi : 0;
    else if (ax == 0)
        v = kPiOver2.hi;
    else if (ay == kInfinity)
        v = ax == kInfinity ? (left ? kThreePiOver4 : kPiOver2.hi / 2) : kPiOver2.hi;
    else if (ax == kInfinity)
        v = left ? kPi.hi : 0;
    else {
        const bool steep = ay > ax;  // then the angle is pi/2 -+ atan(x / y)
        double big = steep ? ay : ax, small = steep ? ax : ay;
        DD a;
        if (Exponent(big) - Exponent(small) > 60) {
            a = {small / big, 0};  // atan t - t is below 2^-118 of t
        } else {
            // Both scaled exactly to put the longer side in 1..2 (the shorter is above 2^-62).
            if (big >= 0x1p900) big *= 0x1p-600, small *= 0x1p-600;
            if (big < 0x1p-900) big *= 0x1p600, small *= 0x1p600;
            const double scale = Pow2(-Exponent(big));
            a = ATanRatio(small * scale, big * scale);
        }
        if (steep)
            a = left ? Add(kPiOver2, a) : Add(kPiOver2, Neg(a));
        else if (left)
            a = Add(kPi, Neg(a));
        v = Round(a);
    }
    return IsNegative(y) ? -v : v;
}

}  // namespace portable
