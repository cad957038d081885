#include "corpus_generator.h"
