/*!
 * A little plugin, kept banner.
 */
;(function ($, window, undefined) {
  'use strict';
  var pluginName = "tooltip",
      defaults = {
        "undefined": undefined,
        "float": "left",
        catch: false,
        delay: 200
      };
  function Plugin(element, options) {
    this.element = element;
    this.options = $.extend({}, defaults, options);
    this._init();
  }
  Plugin.prototype._init = function () {
    var self = this;
    $(this.element).on("mouseenter", function (e) {
      self.show(e.pageX, e.pageY);
    }).on("mouseleave", function () { self.hide(); });
  };
  Plugin.prototype.show = function (x, y) { /* position it */ };
  Plugin.prototype.hide = function () {};
  $.fn[pluginName] = function (options) {
    return this.each(function () {
      if (!$.data(this, "plugin_" + pluginName)) {
        $.data(this, "plugin_" + pluginName, new Plugin(this, options));
      }
    });
  };
  $.ajax({ url: "/x" }).done(function () {}).catch(function () {});
})(jQuery, window);
