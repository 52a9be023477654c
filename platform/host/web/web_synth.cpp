// The MIDI mapper's synthesiser in the browser: FluidSynth compiled to
// WebAssembly (the page loads it beside the game, see page/tumbla.js), with
// the General MIDI soundfont the page brings. It is called synchronously, so
// the MIDI device renders every event at its exact sample, as on Linux.
#include <emscripten.h>

#include "platform/host/host_synth.h"

// clang-format off
EM_JS(int, web_synth_create, (int rate), { return Module.tumbla.synthCreate(rate); });
EM_JS(int, web_synth_present, (), { return Module.tumbla.synthPresent(); });
EM_JS(void, web_synth_delete, (int synth), { Module.tumbla.synthDelete(synth); });
EM_JS(void, web_synth_message, (int synth, unsigned message), { Module.tumbla.synthMessage(synth, message); });
EM_JS(void, web_synth_notes_off, (int synth), { Module.tumbla.synthNotesOff(synth); });
EM_JS(void, web_synth_render, (int synth, float* out, int frames), {
    Module.tumbla.synthRender(synth, HEAPF32.subarray(out >> 2, (out >> 2) + frames * 2), frames);
});
// clang-format on

namespace platform::midi {
namespace {

class WebSynth final : public Synth {
public:
    explicit WebSynth(int handle) : handle_(handle) {}
    ~WebSynth() override { web_synth_delete(handle_); }
    void ShortMessage(std::uint32_t message) override { web_synth_message(handle_, message); }
    void AllNotesOff() override { web_synth_notes_off(handle_); }
    void Render(float* out, int frames) override { web_synth_render(handle_, out, frames); }

private:
    int handle_;
};

}  // namespace

std::unique_ptr<Synth> CreateSynth(int sampleRate) {
    // No soundfont or no FluidSynth on the page: no MIDI device, and the
    // game plays on in silence as on Windows without one.
    int handle = web_synth_create(sampleRate);
    if (handle == 0) return nullptr;
    return std::make_unique<WebSynth>(handle);
}

bool SynthPresent() { return web_synth_present() != 0; }

}  // namespace platform::midi
