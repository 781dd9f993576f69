// Small ES5 helper for the garden pages.
var Garden = (function () {
    var plants = ["mint", "basil", "thyme"];

    function countPlants() {
        return plants.length;
    }

    return {
        count: countPlants,
        greet: function (name) {
            return "Hello, " + name + "! We grow " + countPlants() + " herbs.";
        }
    };
})();
