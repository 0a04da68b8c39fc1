#pragma once

// The per-block loops get AVX-512 and AVX2 variants next to the baseline one, chosen when the
// program loads. Wider vectors round every operation as the baseline does, and the units are
// built without contraction into fused multiply-adds, so all variants give the same bits. The
// tests build the engine pinned to one variant as well, so that each is checked on any machine
// that can run it. Sanitized builds keep to the baseline: the variant is picked by a resolver
// that runs while the program is loaded, before a sanitizer's runtime is ready. Clang takes a
// function as multiversioned only where it is defined before its first call, so such loops
// come before their callers.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
#define MURMEX_SANITIZED_BUILD
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer) || __has_feature(address_sanitizer)
#define MURMEX_SANITIZED_BUILD
#endif
#endif
#if defined(MURMEX_PIN_BASELINE_LOOPS) || defined(MURMEX_SANITIZED_BUILD)
#define MURMEX_VECTOR_CLONES
#elif defined(MURMEX_PIN_AVX2_LOOPS)
#define MURMEX_VECTOR_CLONES __attribute__((target("avx2")))
#else
#define MURMEX_VECTOR_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#endif
