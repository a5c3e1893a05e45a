studio.create(args[0], {demo: true});
while (true) {}
