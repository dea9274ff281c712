// Least bodies of unit and building services that built modules call before their own module
// exists. The module that builds the real service deletes its entry here.
