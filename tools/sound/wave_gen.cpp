// Makes the game's three sound effects, 8-bit mono PCM WAVE files:
//   sfx118.wav  a short thud         5500 Hz, 11905 sample bytes
//   sfx119.wav  a bright chime      22050 Hz, 84518 sample bytes
//   sfx120.wav  a rising flourish   11000 Hz, 27798 sample bytes
//
//   wave_gen OUTPUT_DIR
//
// The output must be the same bytes on every machine, so the sine and the
// exponential are our own (plain IEEE double arithmetic, no FMA contraction)
// rather than the C library's, whose last bits differ between versions.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

double Floor(double x) {
    double t = static_cast<double>(static_cast<long long>(x));
    return t > x ? t - 1.0 : t;
}

// sin(2 pi * cycles).
double Sine(double cycles) {
    double x = cycles - Floor(cycles);  // 0..1
    // Fold to -1/4..1/4 of a turn using the symmetries of the sine.
    double sign = 1.0;
    if (x >= 0.5) {
        x -= 0.5;
        sign = -1.0;
    }
    if (x > 0.25) x = 0.5 - x;
    double r = x * 2.0 * kPi;  // -pi/2..pi/2 (here 0..pi/2)
    double r2 = r * r;
    // Taylor series to r^15: error below 1e-10 on the quarter turn.
    double term = r, sum = r;
    for (int n = 1; n <= 7; ++n) {
        term *= -r2 / static_cast<double>((2 * n) * (2 * n + 1));
        sum += term;
    }
    return sign * sum;
}

// e^x for x <= 0 (envelopes and glides); x > 0 is handled by the same path.
double Exp(double x) {
    constexpr double kLn2 = 0.69314718055994530942;
    if (x < -700.0) return 0.0;
    double k = Floor(x / kLn2 + 0.5);
    double r = x - k * kLn2;  // |r| <= ln2 / 2
    double term = 1.0, sum = 1.0;
    for (int n = 1; n <= 16; ++n) {
        term *= r / static_cast<double>(n);
        sum += term;
    }
    int e = static_cast<int>(k);
    while (e > 0) {
        sum *= 2.0;
        --e;
    }
    while (e < 0) {
        sum *= 0.5;
        ++e;
    }
    return sum;
}

// Deterministic noise, -1..1.
struct Noise {
    std::uint32_t state;
    double Next() {
        state = state * 1664525u + 1013904223u;
        return static_cast<double>(state >> 8) / 8388608.0 - 1.0;
    }
};

// Envelope: linear rise over `attack` seconds, then exponential decay.
double Strike(double t, double attack, double decay) {
    if (t < 0.0) return 0.0;
    if (t < attack) return t / attack;
    return Exp(-(t - attack) / decay);
}

// A gentle fade to exact silence over the last `fade` seconds.
double TailFade(double t, double length, double fade) {
    double left = length - t;
    if (left >= fade) return 1.0;
    if (left <= 0.0) return 0.0;
    double x = left / fade;
    return x * x * (3.0 - 2.0 * x);
}

// Scales to `peak` and stores as unsigned 8-bit samples centred on 128.
std::vector<std::uint8_t> Quantise(const std::vector<double>& signal, double peak) {
    double most = 0.0;
    for (double s : signal) most = s > most ? s : (-s > most ? -s : most);
    double gain = most > 0.0 ? peak / most : 0.0;
    std::vector<std::uint8_t> out(signal.size());
    for (std::size_t i = 0; i < signal.size(); ++i) {
        double v = 128.0 + signal[i] * gain * 127.0;
        long q = static_cast<long>(Floor(v + 0.5));
        out[i] = static_cast<std::uint8_t>(q < 1 ? 1 : (q > 255 ? 255 : q));
    }
    return out;
}

// A low thump: a sine falling from 150 to 50 Hz, a woody knock above it and
// a soft click of filtered noise, then the low rumble of the floor dying away.
std::vector<std::uint8_t> Thud(int rate, std::size_t count) {
    std::vector<double> s(count);
    Noise noise{0x7475u};
    double phase = 0.0, knock = 0.0, lowpass = 0.0, rumble = 0.0, rumblePhase = 0.0;
    double length = static_cast<double>(count) / rate;
    for (std::size_t i = 0; i < count; ++i) {
        double t = static_cast<double>(i) / rate;
        double pitch = 50.0 + 100.0 * Exp(-t / 0.045);
        phase += pitch / rate;
        knock += 210.0 * (1.0 - 0.15 * t) / rate;
        double body = Sine(phase) * Strike(t, 0.002, 0.11);
        double wood = 0.45 * Sine(knock) * Strike(t, 0.001, 0.035);
        lowpass += 0.35 * (noise.Next() - lowpass);
        double click = 0.6 * lowpass * Strike(t, 0.0005, 0.008);
        // The floor: a low, slowly fading murmur of narrow-band noise.
        rumble += 0.04 * (noise.Next() - rumble);
        rumblePhase += 62.0 / rate;
        double floor = 1.2 * rumble * (0.6 + 0.4 * Sine(rumblePhase)) * Strike(t - 0.01, 0.03, 0.35);
        s[i] = (body + wood + click + floor) * TailFade(t, length, 0.6);
    }
    return Quantise(s, 0.92);
}

// One bell strike: partials of a small bell with higher ones dying faster.
void Bell(std::vector<double>& s, int rate, double start, double fundamental, double level) {
    struct Partial {
        double ratio, amplitude, decay;
    };
    static const Partial partials[] = {
        {1.0, 1.0, 1.30},  {1.0011, 0.5, 1.10},  // a slow shimmer against the fundamental
        {2.0, 0.35, 0.70}, {2.76, 0.45, 0.45},  {5.40, 0.22, 0.20}, {8.93, 0.10, 0.09},
    };
    std::size_t first = static_cast<std::size_t>(start * rate);
    for (const Partial& p : partials) {
        double hz = fundamental * p.ratio;
        if (hz > 0.45 * rate) continue;  // keep clear of the Nyquist limit
        double phase = 0.0;
        for (std::size_t i = first; i < s.size(); ++i) {
            double t = static_cast<double>(i - first) / rate;
            phase += hz / rate;
            s[i] += level * p.amplitude * Sine(phase) * Strike(t, 0.0015, p.decay);
        }
    }
}

// Two quick strikes, a fifth apart, then a soft third ringing out.
std::vector<std::uint8_t> Chime(int rate, std::size_t count) {
    std::vector<double> s(count, 0.0);
    Bell(s, rate, 0.00, 1318.51, 1.0);   // E6
    Bell(s, rate, 0.09, 1975.53, 0.8);   // B6
    Bell(s, rate, 0.30, 2637.02, 0.35);  // E7, a sparkle on top
    double length = static_cast<double>(count) / rate;
    for (std::size_t i = 0; i < count; ++i) s[i] *= TailFade(static_cast<double>(i) / rate, length, 1.2);
    return Quantise(s, 0.9);
}

// A plucked note: a few harmonics, the upper ones fading first.
void Pluck(std::vector<double>& s, int rate, double start, double hz, double level, double decay) {
    static const double harmonics[] = {1.0, 0.45, 0.22, 0.1};
    std::size_t first = static_cast<std::size_t>(start * rate);
    for (int h = 0; h < 4; ++h) {
        double f = hz * (h + 1);
        if (f > 0.45 * rate) break;
        double phase = 0.0;
        for (std::size_t i = first; i < s.size(); ++i) {
            double t = static_cast<double>(i - first) / rate;
            // A touch of vibrato once the note has settled.
            double wobble = 1.0 + 0.003 * Sine(5.5 * t) * (t > 0.25 ? 1.0 : t / 0.25);
            phase += f * wobble / rate;
            s[i] += level * harmonics[h] * Sine(phase) * Strike(t, 0.003, decay / (1.0 + 0.6 * h));
        }
    }
}

// C major climbing two octaves, then its chord ringing out.
std::vector<std::uint8_t> Flourish(int rate, std::size_t count) {
    std::vector<double> s(count, 0.0);
    static const double run[] = {523.25, 659.26, 783.99, 1046.50, 1318.51, 1567.98};
    double t = 0.0;
    for (double hz : run) {
        Pluck(s, rate, t, hz, 0.55, 0.28);
        t += 0.075;
    }
    static const double chord[] = {1046.50, 1318.51, 1567.98, 2093.00};
    for (int i = 0; i < 4; ++i) Pluck(s, rate, t + 0.012 * i, chord[i], 0.42, 0.85);
    Pluck(s, rate, t, 261.63, 0.5, 0.9);  // and C4 beneath it
    double length = static_cast<double>(count) / rate;
    for (std::size_t i = 0; i < count; ++i) s[i] *= TailFade(static_cast<double>(i) / rate, length, 0.8);
    return Quantise(s, 0.9);
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void PutU16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void PutId(std::vector<std::uint8_t>& out, const char* id) { out.insert(out.end(), id, id + 4); }

// RIFF "WAVE" with a 16-byte "fmt " chunk and the "data" chunk (padded to
// an even length, as RIFF wants).
std::vector<std::uint8_t> WaveFile(int rate, const std::vector<std::uint8_t>& samples) {
    std::uint32_t data = static_cast<std::uint32_t>(samples.size());
    std::uint32_t pad = data & 1;
    std::vector<std::uint8_t> out;
    PutId(out, "RIFF");
    PutU32(out, 4 + 8 + 16 + 8 + data + pad);
    PutId(out, "WAVE");
    PutId(out, "fmt ");
    PutU32(out, 16);
    PutU16(out, 1);  // PCM
    PutU16(out, 1);  // mono
    PutU32(out, static_cast<std::uint32_t>(rate));
    PutU32(out, static_cast<std::uint32_t>(rate));  // bytes per second
    PutU16(out, 1);                                 // block align
    PutU16(out, 8);                                 // bits per sample
    PutId(out, "data");
    PutU32(out, data);
    out.insert(out.end(), samples.begin(), samples.end());
    if (pad) out.push_back(0);
    return out;
}

bool Write(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    std::string dir = argv[1];
    struct Effect {
        const char* file;
        int rate;
        std::size_t bytes;
        std::vector<std::uint8_t> (*make)(int, std::size_t);
    };
    const Effect effects[] = {
        {"sfx118.wav", 5500, 11905, Thud},
        {"sfx119.wav", 22050, 84518, Chime},
        {"sfx120.wav", 11000, 27798, Flourish},
    };
    for (const Effect& e : effects) {
        std::string path = dir + "/" + e.file;
        if (!Write(path, WaveFile(e.rate, e.make(e.rate, e.bytes)))) {
            std::fprintf(stderr, "wave_gen: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
