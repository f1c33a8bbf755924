// Placeholder until the system layer lands.
