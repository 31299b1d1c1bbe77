int helper() { return 42; }
