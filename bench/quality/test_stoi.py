"""Known answers of the quality bench's STOI, on speech-like signals made here: bands of noise
under slow, independent envelopes, with pauses."""
import unittest

import numpy as np
from scipy import signal

from stoi import stoi

RATE = 10000


def speech_like(seconds, seed, rate=RATE):
    rng = np.random.default_rng(seed)
    n = int(seconds * rate)
    out = np.zeros(n)
    knots = np.arange(0, n + rate // 20, rate // 20)  # a new level every 50 ms, as syllables change
    for low in (200, 450, 900, 1700, 3000):
        band = signal.butter(4, [low, low * 1.6], btype="bandpass", fs=rate, output="sos")
        envelope = 10 ** (np.interp(np.arange(n), knots, rng.normal(0, 10, len(knots))) / 20)
        out += signal.sosfilt(band, rng.standard_normal(n)) * envelope
    pause = rng.uniform(0.5, 1.0) * seconds
    out[int(pause * rate):int((pause + 0.3) * rate)] = 0
    return out / np.max(np.abs(out))


def with_noise(x, snr, seed):
    noise = np.random.default_rng(seed).standard_normal(len(x))
    return x + noise * np.sqrt(np.mean(x ** 2) / np.mean(noise ** 2) / 10 ** (snr / 10))


class StoiTest(unittest.TestCase):
    def setUp(self):
        self.x = speech_like(3.0, 1)

    def test_identical_and_scaled_copies_score_one(self):
        for gain in (1.0, 0.01, 30.0):
            self.assertAlmostEqual(stoi(self.x, gain * self.x, RATE), 1.0, places=6)

    def test_scaling_the_degraded_signal_changes_nothing(self):
        y = with_noise(self.x, 0, 2)
        base = stoi(self.x, y, RATE)
        for gain in (0.001, 0.5, 40.0):
            self.assertAlmostEqual(stoi(self.x, gain * y, RATE), base, places=6)

    def test_rises_with_snr_under_white_noise(self):
        scores = [stoi(self.x, with_noise(self.x, snr, 3), RATE) for snr in (-15, -10, -5, 0, 5, 10, 20)]
        self.assertTrue(all(b > a for a, b in zip(scores, scores[1:])), scores)
        self.assertLess(scores[0], 0.3)
        self.assertGreater(scores[-1], 0.95)

    def test_unrelated_signal_scores_near_zero(self):
        # Clipping at beta lifts the score a little above zero: where the clean envelope dips, the
        # clipped degraded one follows it.
        for seed in (4, 5, 6):
            self.assertLess(abs(stoi(self.x, speech_like(3.0, seed), RATE)), 0.2)

    def test_silent_stretches_are_left_out(self):
        y = with_noise(self.x, 0, 7)
        silence = np.zeros(RATE)
        middle = len(self.x) // 2
        padded = [np.concatenate([v[:middle], silence, v[middle:]]) for v in (self.x, y)]
        self.assertAlmostEqual(stoi(*padded, RATE), stoi(self.x, y, RATE), delta=0.01)

    def test_other_rates_are_resampled_to_10_khz(self):
        y = with_noise(self.x, 0, 8)
        base = stoi(self.x, y, RATE)
        for rate in (8000, 16000, 48000):
            up = [signal.resample_poly(v, rate, RATE) for v in (self.x, y)]
            self.assertAlmostEqual(stoi(*up, rate), base, delta=0.01)

    def test_too_short_or_silent_input_is_refused(self):
        with self.assertRaises(ValueError):
            stoi(self.x[:200], self.x[:200], RATE)
        with self.assertRaises(ValueError):
            stoi(self.x[:RATE // 4], self.x[:RATE // 4], RATE)  # fewer frames than one segment


if __name__ == "__main__":
    unittest.main()
