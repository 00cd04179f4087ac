namespace kestrane {}
