#include "netclient/media/codec/g726.h"

#include <algorithm>
#include <bit>
#include <cstdlib>

namespace qvcodec {
namespace {

// Per rate: decision thresholds of the normalised log difference DLN (log2, 7 fraction
// bits; the magnitude index is the count of thresholds at or below DLN), and per code the
// reconstruction log DQLN (-2048: zero), the scale-factor multiplier W(I) and the
// speed-control value F(I).
struct RateTables {
  const int16_t* thresholds;
  int threshold_count;
  const int16_t* dqln;
  const int16_t* w;
  const uint8_t* f;
};

constexpr int16_t kQuant16[] = {261};
constexpr int16_t kDqln16[] = {116, 365, 365, 116};
constexpr int16_t kW16[] = {-22, 439, 439, -22};
constexpr uint8_t kF16[] = {0, 7, 7, 0};

constexpr int16_t kQuant24[] = {8, 218, 331};
constexpr int16_t kDqln24[] = {-2048, 135, 273, 373, 373, 273, 135, -2048};
constexpr int16_t kW24[] = {-4, 30, 137, 582, 582, 137, 30, -4};
constexpr uint8_t kF24[] = {0, 1, 2, 7, 7, 2, 1, 0};

constexpr int16_t kQuant32[] = {-124, 80, 178, 246, 300, 349, 400};
constexpr int16_t kDqln32[] = {-2048, 4,   135, 213, 273, 323, 373, 425,
                               425,   373, 323, 273, 213, 135, 4,   -2048};
constexpr int16_t kW32[] = {-12, 18,  41,  64,  112, 198, 355, 1122,
                            1122, 355, 198, 112, 64,  41,  18,  -12};
constexpr uint8_t kF32[] = {0, 0, 0, 1, 1, 1, 3, 7, 7, 3, 1, 1, 1, 0, 0, 0};

constexpr int16_t kQuant40[] = {-122, -16, 68,  139, 198, 250, 298, 339,
                                378,  413, 445, 475, 502, 528, 553};
constexpr int16_t kDqln40[] = {-2048, -66, 28,  104, 169, 224, 274, 318, 358, 395, 429,
                               459,   488, 514, 539, 566, 566, 539, 514, 488, 459, 429,
                               395,   358, 318, 274, 224, 169, 104, 28,  -66, -2048};
constexpr int16_t kW40[] = {14,  14,  24,  39,  40,  41,  58,  100, 141, 179, 219,
                            280, 358, 440, 529, 696, 696, 529, 440, 358, 280, 219,
                            179, 141, 100, 58,  41,  40,  39,  24,  14,  14};
constexpr uint8_t kF40[] = {0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 2, 3, 4, 5, 6, 6,
                            6, 6, 5, 4, 3, 2, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0};

constexpr RateTables kRates[] = {
    {kQuant16, 1, kDqln16, kW16, kF16},
    {kQuant24, 3, kDqln24, kW24, kF24},
    {kQuant32, 7, kDqln32, kW32, kF32},
    {kQuant40, 15, kDqln40, kW40, kF40},
};

// Callers keep `bits` within 2..5 (see G726Encode / G726Decode).
const RateTables& TablesFor(int bits) { return kRates[bits - 2]; }

// The recommendation keeps most values in 16-bit two's complement and lets sums wrap.
int Wrap16(int v) { return static_cast<int16_t>(v); }

// FLOATA / FLOATB: sign in bit 10, 4-bit exponent, 6-bit mantissa with its top bit set.
int16_t ToFloat(int mag, bool negative) {
  const int exp = std::bit_width(static_cast<unsigned>(mag));
  const int mant = mag == 0 ? 32 : (mag << 6) >> exp;
  return static_cast<int16_t>((negative ? 1 << 10 : 0) | (exp << 6) | mant);
}

// FMULT: a 16-bit coefficient (2^-14 units) times a value in floating format.
int Fmult(int an, int srn) {
  const bool an_neg = an < 0;
  const int an_mag = an_neg ? (-(an >> 2)) & 8191 : an >> 2;
  const int an_exp = std::bit_width(static_cast<unsigned>(an_mag));
  const int an_mant = an_mag == 0 ? 32 : (an_mag << 6) >> an_exp;
  const bool sr_neg = ((srn >> 10) & 1) != 0;
  const int w_exp = ((srn >> 6) & 15) + an_exp;
  const int w_mant = ((srn & 63) * an_mant + 48) >> 4;
  const int w_mag = w_exp <= 26 ? (w_mant << 7) >> (26 - w_exp)
                                : ((w_mant << 7) << (w_exp - 26)) & 32767;
  return an_neg != sr_neg ? -w_mag : w_mag;
}

struct Estimate {
  int sez;  // zero-section estimate
  int se;   // full signal estimate
};

Estimate Predict(const G726State& s) {
  int sezi = 0;
  for (int i = 0; i < 6; ++i) sezi += Fmult(s.b[i], s.dq[i]);
  sezi = Wrap16(sezi);
  const int sei = Wrap16(sezi + Fmult(s.a[0], s.sr[0]) + Fmult(s.a[1], s.sr[1]));
  return {sezi >> 1, sei >> 1};
}

// MIX: blend of fast and slow scale factors by the speed control.
int StepSize(const G726State& s) {
  if (s.ap >= 256) return s.yu;
  const int yl = s.yl >> 6;
  const int al = s.ap >> 2;
  const int dif = s.yu - yl;
  if (s.arithmetic == G726Arithmetic::kLibavcodec) return (s.yl + dif * al) >> 6;
  const int prod = dif >= 0 ? (dif * al) >> 6 : -((-dif * al) >> 6);
  return yl + prod;
}

int CodeFor(int bits, bool negative, int m) {
  const int n = 1 << bits;
  if (bits == 2) return negative ? 3 - m : m;
  // Every rate but 16 kbit/s has no positive zero code: it is sent as all ones.
  if (negative) return n - 1 - m;
  return m == 0 ? n - 1 : m;
}

int Quantize(int d, int y, int bits, const RateTables& t) {
  const int dqm = d < 0 ? -d : d;
  const int exp = dqm == 0 ? 0 : std::bit_width(static_cast<unsigned>(dqm)) - 1;
  const int dl = (exp << 7) + (((dqm << 7) >> exp) & 127);
  const int dln = dl - (y >> 2);
  int m = 0;
  while (m < t.threshold_count && dln >= t.thresholds[m]) ++m;
  return CodeFor(bits, d < 0, m);
}

struct Difference {
  int mag;
  bool negative;  // kept for a zero magnitude too: the zero taps use its sign
};

Difference Reconstruct(int code, int y, int bits, const RateTables& t) {
  const bool negative = (code >> (bits - 1)) != 0;
  const int dql = t.dqln[code] + (y >> 2);
  if (dql < 0) return {0, negative};
  const int dex = std::min((dql >> 7) & 15, 14);
  const int dqt = 128 + (dql & 127);
  return {(dqt << 7) >> (14 - dex), negative};
}

// UPA2, UPA1, LIMC, LIMD, UPB: returns the new second pole before any reset.
int UpdateCoefficients(G726State* s, const Difference& dq, int dqsez) {
  const bool pk0 = dqsez < 0;
  const bool sigpk = dqsez == 0;
  const bool pks1 = pk0 != (s->pk[0] != 0);
  const bool pks2 = pk0 != (s->pk[1] != 0);

  int a2p = s->a[1] - (s->a[1] >> 7);
  if (!sigpk) {
    const int fa1 = std::clamp<int>(s->a[0], -8191, 8191);
    a2p += (pks2 ? -128 : 128) + ((pks1 ? fa1 : -fa1) >> 5);
  }
  a2p = std::clamp(a2p, -12288, 12288);

  int a1p = s->a[0] - (s->a[0] >> 8);
  if (!sigpk) a1p += pks1 ? -192 : 192;
  const int a1_limit = 15360 - a2p;
  a1p = std::clamp(a1p, -a1_limit, a1_limit);

  const bool slow_leak = s->bits == 5 && s->arithmetic == G726Arithmetic::kItu;
  const int leak = slow_leak ? 9 : 8;
  for (int i = 0; i < 6; ++i) {
    int b = s->b[i] - (s->b[i] >> leak);
    if (dq.mag != 0) b += dq.negative == (((s->dq[i] >> 10) & 1) != 0) ? 128 : -128;
    s->b[i] = static_cast<int16_t>(Wrap16(b));
  }
  s->a[0] = static_cast<int16_t>(a1p);
  s->a[1] = static_cast<int16_t>(a2p);
  return a2p;
}

// FILTA, FILTB, SUBTC, FILTC, TRIGA.
void UpdateSpeedControl(G726State* s, int f, int y, bool tr) {
  const int fi = f << 9;
  s->dms = static_cast<int16_t>(s->dms + ((fi - s->dms) >> 5));
  s->dml = static_cast<int16_t>(s->dml + (((fi << 2) - s->dml) >> 7));
  if (tr) {
    s->ap = 256;
    return;
  }
  const int dif = (s->dms << 2) - s->dml;
  const bool steady = y >= 1536 && std::abs(dif) < (s->dml >> 3) && s->td == 0;
  const int ax = steady ? 0 : 1;
  s->ap = static_cast<int16_t>(s->ap + (((ax << 9) - s->ap) >> 4));
}

void Update(G726State* s, const RateTables& t, int code, int y, const Difference& dq,
            int sr, int dqsez) {
  // TRANS: a large difference while a tone was seen means a transition (modem signals).
  const int ylint = s->yl >> 15;
  const int ylfrac = (s->yl >> 10) & 31;
  const int thr1 = (32 + ylfrac) << ylint;
  const int thr2 = ylint > 9 ? 31 << 10 : thr1;
  const int dqthr = (thr2 + (thr2 >> 1)) >> 1;
  const bool tr = s->td != 0 && dq.mag > dqthr;

  // FUNCTW, FILTD, LIMB, FILTE.
  const int yu = std::clamp(y + (((t.w[code] << 5) - y) >> 5), 544, 5120);
  s->yl = s->yl + yu + ((-s->yl) >> 6);

  int a2p = 0;
  if (tr) {
    s->a[0] = s->a[1] = 0;
    for (int16_t& b : s->b) b = 0;
  } else {
    a2p = UpdateCoefficients(s, dq, dqsez);
  }

  for (int i = 5; i > 0; --i) s->dq[i] = s->dq[i - 1];
  s->dq[0] = ToFloat(dq.mag, dq.negative);
  s->sr[1] = s->sr[0];
  s->sr[0] = ToFloat(sr < 0 ? (-sr) & 32767 : sr, sr < 0);
  s->pk[1] = s->pk[0];
  s->pk[0] = dqsez < 0 ? 1 : 0;

  // TONE, TRIGB: a strongly negative second pole marks a tone.
  s->td = (!tr && a2p < -11776) ? 1 : 0;
  UpdateSpeedControl(s, t.f[code], y, tr);
  s->yu = static_cast<int16_t>(yu);
}

// Shared tail of coder and decoder: reconstruct, adapt; returns the reconstructed sample.
int Step(G726State* s, const RateTables& t, int code, int y, const Estimate& est) {
  const Difference dq = Reconstruct(code, y, s->bits, t);
  const int dq_value = dq.negative ? -dq.mag : dq.mag;
  const int sr = Wrap16(est.se + dq_value);
  const int dqsez = Wrap16(dq_value + est.sez);
  Update(s, t, code, y, dq, sr, dqsez);
  return sr;
}

}  // namespace

bool G726Init(G726State* s, int bits, G726Arithmetic arithmetic) {
  if (s == nullptr || bits < 2 || bits > 5) return false;
  *s = G726State{};
  s->yl = 34816;
  s->yu = 544;
  for (int16_t& v : s->dq) v = 32;
  for (int16_t& v : s->sr) v = 32;
  s->bits = static_cast<uint8_t>(bits);
  s->arithmetic = arithmetic;
  return true;
}

uint8_t G726Encode(G726State* s, int16_t pcm) {
  s->bits = static_cast<uint8_t>(std::clamp<int>(s->bits, 2, 5));
  const RateTables& t = TablesFor(s->bits);
  const Estimate est = Predict(*s);
  const int y = StepSize(*s);
  const int code = Quantize((pcm >> 2) - est.se, y, s->bits, t);
  Step(s, t, code, y, est);
  return static_cast<uint8_t>(code);
}

int16_t G726Decode(G726State* s, uint8_t code) {
  s->bits = static_cast<uint8_t>(std::clamp<int>(s->bits, 2, 5));
  const RateTables& t = TablesFor(s->bits);
  const int c = code & ((1 << s->bits) - 1);
  const Estimate est = Predict(*s);
  const int y = StepSize(*s);
  const int sr = Step(s, t, c, y, est);
  return static_cast<int16_t>(std::clamp(sr * 4, -32768, 32767));
}

}  // namespace qvcodec
