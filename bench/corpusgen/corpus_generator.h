// Deterministic synthetic corpus generator (placeholder, see corpus_generator.cpp).
#pragma once
