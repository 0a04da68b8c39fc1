"""What the quality benches share: the tools under test and their command lines, the alignment of
an output to its reference, and the signal-to-noise figures. Signals are float arrays of shape
(samples, channels) in 16-bit units."""
import os

import numpy as np
from scipy import signal
from scipy.io import wavfile


def per_file(make):
    """A tool run once per file, make(src, out, lead) giving its commands. A tool takes a list of
    (input, output, seconds of noise alone at the start) and gives the commands that make them."""
    return lambda jobs: [cmd for src, out, lead in jobs for cmd in make(src, out, lead)]


def murmex_tools(build):
    """murmex-denoise-wav of a build folder, each method named explicitly: the default may change."""
    denoise = os.path.join(build, "bench", "engine", "murmex-denoise-wav")
    return {
        "murmex adaptive": per_file(lambda src, out, lead: [[denoise, "adaptive", src, out]]),
        "murmex adaptive, learnt": per_file(lambda src, out, lead: [[denoise, "adaptive", src, out, "--learn"]]),
        "murmex classic": per_file(lambda src, out, lead: [[denoise, "classic", src, out]]),
    }


@per_file
def sox_noisered(src, out, lead):
    """sox noisered 0.21 with its profile taken from the first `lead` seconds."""
    return [["sox", src, "-n", "trim", "0", f"{lead:.4f}", "noiseprof", out + ".prof"],
            ["sox", src, out, "noisered", out + ".prof", "0.21"]]


def ffmpeg_filter(chain):
    """An ffmpeg filter chain, "{rate}" in it standing for the input's rate. One ffmpeg makes every
    output of a list, each through a chain of its own: its start-up outweighs the filtering."""
    def commands(jobs):
        cmd = ["ffmpeg", "-nostdin", "-y", "-loglevel", "error"]
        for src, _, _ in jobs:
            cmd += ["-i", src]
        for index, (src, out, _) in enumerate(jobs):
            cmd += ["-map", f"{index}:a", "-af", chain.format(rate=wavfile.read(src, mmap=True)[0]),
                    "-c:a", "pcm_s16le", out]
        return [cmd]
    return commands


def align(output, reference):
    """Delay of output against reference by cross-correlation of their first channels, then the
    output shifted back and cut or padded to the reference's length."""
    a = output[:, 0].astype(np.float64)
    b = reference[:, 0]
    corr = signal.correlate(a, b, mode="full", method="fft")
    lags = np.arange(-len(b) + 1, len(a))
    window = (lags >= -4096) & (lags <= 16384)
    lag = int(lags[window][np.argmax(corr[window])])
    shifted = output[lag:] if lag >= 0 else np.concatenate([np.zeros((-lag, output.shape[1])), output])
    out = np.zeros_like(reference)
    n = min(len(shifted), len(reference))
    out[:n] = shifted[:n]
    return out, lag


def frames(x, size):
    count = len(x) // size
    return x[:count * size].reshape(count, size, -1)


def snr_gain(clean, noise, residual):
    """SNR of the output (clean against what differs from it) less that of the input, dB."""
    return 10 * np.log10(np.sum(noise ** 2) / np.sum(residual ** 2))


def segmental_snr_gain(clean, noise, residual, size):
    """Mean over frames of `size` samples of the frame SNR clamped to [-10, 35] dB, output less input."""
    fc, fr, fn = (np.sum(frames(v, size) ** 2, axis=(1, 2)) for v in (clean, residual, noise))
    seg = np.clip(10 * np.log10((fc + 1e-9) / (fr + 1e-9)), -10, 35)
    seg_in = np.clip(10 * np.log10((fc + 1e-9) / (fn + 1e-9)), -10, 35)
    return np.mean(seg) - np.mean(seg_in)


def speech_level_lost(out, clean, size):
    """dB by which the output's projection on the clean signal falls short of it, over the frames
    where the clean signal is active (within 30 dB of its loudest frame)."""
    fc = np.sum(frames(clean, size) ** 2, axis=(1, 2))
    active = fc > np.max(fc) * 1e-3
    fo, fcl = frames(out, size), frames(clean, size)
    projection = np.sum(fo[active] * fcl[active]) / np.sum(fcl[active] ** 2)
    return -20 * np.log10(max(projection, 1e-6))
