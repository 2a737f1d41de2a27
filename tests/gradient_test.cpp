// Placeholder until the kernel tests land.
