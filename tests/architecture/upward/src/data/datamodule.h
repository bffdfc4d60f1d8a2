// The data module sees no screen.
