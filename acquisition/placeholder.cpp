// Removed once the folder has sources of its own.
