// Intentionally empty: a static library needs at least one source.
