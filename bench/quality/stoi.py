"""Short-time objective intelligibility (STOI) of a degraded speech signal against its clean
reference, after Taal, Hendriks, Heusdens and Jensen, "An algorithm for intelligibility prediction
of time-frequency weighted noisy speech", IEEE TASLP 19(7), 2011."""
from math import gcd

import numpy as np
from scipy import signal

RATE = 10000
FRAME = 256
FFT = 512
DYNAMIC_RANGE = 40.0  # dB below the loudest clean frame at which a frame counts as silent
BANDS = 15
LOWEST_CENTRE = 150.0
SEGMENT = 30  # frames: 384 ms
BETA = -15.0  # dB: the lowest signal-to-distortion ratio a unit may have before it is clipped


def third_octave_matrix():
    """Rows of 0/1 selecting the FFT bins of each one-third octave band."""
    centre = LOWEST_CENTRE * 2.0 ** (np.arange(BANDS) / 3)
    low, high = centre * 2.0 ** (-1 / 6), centre * 2.0 ** (1 / 6)
    f = np.arange(FFT // 2 + 1) * RATE / FFT
    return ((f[None, :] >= low[:, None]) & (f[None, :] < high[:, None])).astype(np.float64)


def frames_of(x):
    window = np.hanning(FRAME + 2)[1:-1]
    count = 1 + (len(x) - FRAME) // (FRAME // 2)
    index = np.arange(FRAME)[None, :] + (FRAME // 2) * np.arange(count)[:, None]
    return x[index] * window


def stoi(clean, degraded, rate):
    """STOI in [-1, 1] (1 for a degraded signal equal to the clean one up to a gain) of two
    mono signals at `rate`, cut to the shorter."""
    n = min(len(clean), len(degraded))
    x, y = (np.asarray(v[:n], dtype=np.float64) for v in (clean, degraded))
    if rate != RATE:
        g = gcd(RATE, int(rate))
        x, y = (signal.resample_poly(v, RATE // g, int(rate) // g) for v in (x, y))
    if len(x) < FRAME:
        raise ValueError("stoi: signal shorter than one frame")
    fx, fy = frames_of(x), frames_of(y)
    energy = 20 * np.log10(np.linalg.norm(fx, axis=1) + 1e-12)
    speech = energy > np.max(energy) - DYNAMIC_RANGE
    fx, fy = fx[speech], fy[speech]
    if len(fx) < SEGMENT:
        raise ValueError("stoi: fewer speech frames than one segment")
    bands = third_octave_matrix()
    # Time-frequency units: the band's amplitude per frame, (bands, frames).
    X = np.sqrt(bands @ (np.abs(np.fft.rfft(fx, FFT, axis=1)) ** 2).T)
    Y = np.sqrt(bands @ (np.abs(np.fft.rfft(fy, FFT, axis=1)) ** 2).T)
    # Every run of SEGMENT frames, (bands, segments, SEGMENT).
    xs = np.lib.stride_tricks.sliding_window_view(X, SEGMENT, axis=1)
    ys = np.lib.stride_tricks.sliding_window_view(Y, SEGMENT, axis=1)
    scale = np.linalg.norm(xs, axis=2, keepdims=True) / (np.linalg.norm(ys, axis=2, keepdims=True) + 1e-12)
    ys = np.minimum(ys * scale, xs * (1 + 10 ** (-BETA / 20)))
    xs = xs - np.mean(xs, axis=2, keepdims=True)
    ys = ys - np.mean(ys, axis=2, keepdims=True)
    corr = np.sum(xs * ys, axis=2) / (np.linalg.norm(xs, axis=2) * np.linalg.norm(ys, axis=2) + 1e-12)
    return float(np.mean(corr))
